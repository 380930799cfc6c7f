// The engine library's export and the tables of the objects it hands out: the one definition.
//
// "Zenthra.dll" exports GetEngineControlInstance and hands out objects reached only through
// their tables of virtual operations. The launcher and the kit's engine both compile against
// this header, so each operation must sit at its fixed slot (counted from 0):
//
//   EngineControl          0 Release  2 Initialize  5 GetChannelFactory  7 SetWorkDir
//   ChannelFactory         0 Release  15 CreateChannel   field 17: ContainerDecoder*
//   ContainerDecoder       0 Release  32 DecodeContainer
//   FileLoaderChannel      0 Release  15 SetSource  18 HasTag  23 OutputData  24 OutputSize
//   DirectoryListChannel   0 Release  13 NumFiles  14 NumFolders  15 Scan  16 SetFilter
//                          18 FileAt  19 FolderAt
//   FileSaverChannel       0 Release  13 Open  14 BeginChunk  15 WriteChunkSize  16 WriteData
//                          17 Close
//
// Unused slots are held by ReservedN() placeholders, N being the slot. Slot 0 is Release(int),
// never a virtual destructor: GCC would give a virtual destructor two slots. The factory's
// "field 17" is its 17th pointer-sized field counting the table pointer as the 1st, i.e. at
// byte offset 16 * sizeof(void*). Declaration order is table order; no operation is overloaded,
// so every compiler lays the tables out alike.
//
// On 32-bit x86 Windows the engine's member functions use thiscall (this in ECX, the callee
// pops the arguments) and the export is cdecl; both are spelt out on every declaration. Other
// targets have one convention. Instance and window handles are plain pointers here.
#pragma once

#include <cstddef>
#include <cstdint>

#if defined(_WIN32) && defined(__i386__) && defined(__GNUC__)
#define ENGINE_CALL __attribute__((thiscall))
#define ENGINE_EXPORT_CALL __attribute__((cdecl))
#elif defined(_WIN32) && defined(_M_IX86) && defined(_MSC_VER)
#define ENGINE_CALL __thiscall
#define ENGINE_EXPORT_CALL __cdecl
#else
#define ENGINE_CALL
#define ENGINE_EXPORT_CALL
#endif

// A class id in the Windows GUID layout; passed by value (16 bytes).
struct Guid {
  uint32_t data1;
  uint16_t data2;
  uint16_t data3;
  uint8_t data4[8];
  bool operator==(const Guid&) const = default;
};
static_assert(sizeof(Guid) == 16);

// 6E93B1F4-27AC-4C58-9D02-8F4A71C3E5B6
inline constexpr Guid kFileLoaderClassId = {
    0x6E93B1F4, 0x27AC, 0x4C58, {0x9D, 0x02, 0x8F, 0x4A, 0x71, 0xC3, 0xE5, 0xB6}};
// 2B7D5E90-C1A3-4F86-B4E7-59D0A6F18C23
inline constexpr Guid kDirectoryListerClassId = {
    0x2B7D5E90, 0xC1A3, 0x4F86, {0xB4, 0xE7, 0x59, 0xD0, 0xA6, 0xF1, 0x8C, 0x23}};
// D35A8C17-4E92-4B0F-87C6-A2F1905E3B7D
inline constexpr Guid kFileSaverClassId = {
    0xD35A8C17, 0x4E92, 0x4B0F, {0x87, 0xC6, 0xA2, 0xF1, 0x90, 0x5E, 0x3B, 0x7D}};

class ChannelFactory;
class ContainerDecoder;
class FileLoaderChannel;

// The engine's root object, one per GetEngineControlInstance call.
class EngineControl {
 public:
  // Destroys the control together with its factory. The argument is 1.
  virtual void ENGINE_CALL Release(int flags) = 0;
  virtual void ENGINE_CALL Reserved1() {}
  // Introduces the program: its instance handle, the class name of its owner window and that
  // window. 0 = failure.
  virtual uint8_t ENGINE_CALL Initialize(void* instance, const char* windowClassName,
                                         void* ownerWindow) = 0;
  virtual void ENGINE_CALL Reserved3() {}
  virtual void ENGINE_CALL Reserved4() {}
  // The control's factory; it belongs to the control and goes with it.
  virtual ChannelFactory* ENGINE_CALL GetChannelFactory() = 0;
  virtual void ENGINE_CALL Reserved6() {}
  // The folder the engine works in. The launcher ignores the result.
  virtual int ENGINE_CALL SetWorkDir(const char* workDir) = 0;

 protected:
  ~EngineControl() = default;
};

// Makes channels by class id; owned by its EngineControl.
class ChannelFactory {
 public:
  // The factory goes with its control; callers do not release it.
  virtual void ENGINE_CALL Release(int flags) = 0;
  virtual void ENGINE_CALL Reserved1() {}
  virtual void ENGINE_CALL Reserved2() {}
  virtual void ENGINE_CALL Reserved3() {}
  virtual void ENGINE_CALL Reserved4() {}
  virtual void ENGINE_CALL Reserved5() {}
  virtual void ENGINE_CALL Reserved6() {}
  virtual void ENGINE_CALL Reserved7() {}
  virtual void ENGINE_CALL Reserved8() {}
  virtual void ENGINE_CALL Reserved9() {}
  virtual void ENGINE_CALL Reserved10() {}
  virtual void ENGINE_CALL Reserved11() {}
  virtual void ENGINE_CALL Reserved12() {}
  virtual void ENGINE_CALL Reserved13() {}
  virtual void ENGINE_CALL Reserved14() {}
  // A new channel of that class (cast it to FileLoaderChannel, DirectoryListChannel or
  // FileSaverChannel by the id asked for), or null for an unknown id. The launcher passes 0, 0.
  // The caller releases the channel.
  virtual void* ENGINE_CALL CreateChannel(Guid classId, int arg1, int arg2) = 0;

  // Fields 2 to 16 are the engine's own; field 17 is the decoder, owned by the factory.
  void* reservedFields[15] = {};
  ContainerDecoder* containerDecoder = nullptr;

 protected:
  ~ChannelFactory() = default;
};

// Decodes "TMKF" containers held by a file loader; reached through ChannelFactory field 17.
class ContainerDecoder {
 public:
  // The decoder goes with its factory; callers do not release it.
  virtual void ENGINE_CALL Release(int flags) = 0;
  virtual void ENGINE_CALL Reserved1() {}
  virtual void ENGINE_CALL Reserved2() {}
  virtual void ENGINE_CALL Reserved3() {}
  virtual void ENGINE_CALL Reserved4() {}
  virtual void ENGINE_CALL Reserved5() {}
  virtual void ENGINE_CALL Reserved6() {}
  virtual void ENGINE_CALL Reserved7() {}
  virtual void ENGINE_CALL Reserved8() {}
  virtual void ENGINE_CALL Reserved9() {}
  virtual void ENGINE_CALL Reserved10() {}
  virtual void ENGINE_CALL Reserved11() {}
  virtual void ENGINE_CALL Reserved12() {}
  virtual void ENGINE_CALL Reserved13() {}
  virtual void ENGINE_CALL Reserved14() {}
  virtual void ENGINE_CALL Reserved15() {}
  virtual void ENGINE_CALL Reserved16() {}
  virtual void ENGINE_CALL Reserved17() {}
  virtual void ENGINE_CALL Reserved18() {}
  virtual void ENGINE_CALL Reserved19() {}
  virtual void ENGINE_CALL Reserved20() {}
  virtual void ENGINE_CALL Reserved21() {}
  virtual void ENGINE_CALL Reserved22() {}
  virtual void ENGINE_CALL Reserved23() {}
  virtual void ENGINE_CALL Reserved24() {}
  virtual void ENGINE_CALL Reserved25() {}
  virtual void ENGINE_CALL Reserved26() {}
  virtual void ENGINE_CALL Reserved27() {}
  virtual void ENGINE_CALL Reserved28() {}
  virtual void ENGINE_CALL Reserved29() {}
  virtual void ENGINE_CALL Reserved30() {}
  virtual void ENGINE_CALL Reserved31() {}
  // Decodes the loader's source into the loader's output. The launcher ignores the result.
  virtual uint8_t ENGINE_CALL DecodeContainer(FileLoaderChannel* loader) = 0;

 protected:
  ~ContainerDecoder() = default;
};

// Takes a source's bytes and gives the bytes to write for them.
class FileLoaderChannel {
 public:
  virtual void ENGINE_CALL Release(int flags) = 0;
  virtual void ENGINE_CALL Reserved1() {}
  virtual void ENGINE_CALL Reserved2() {}
  virtual void ENGINE_CALL Reserved3() {}
  virtual void ENGINE_CALL Reserved4() {}
  virtual void ENGINE_CALL Reserved5() {}
  virtual void ENGINE_CALL Reserved6() {}
  virtual void ENGINE_CALL Reserved7() {}
  virtual void ENGINE_CALL Reserved8() {}
  virtual void ENGINE_CALL Reserved9() {}
  virtual void ENGINE_CALL Reserved10() {}
  virtual void ENGINE_CALL Reserved11() {}
  virtual void ENGINE_CALL Reserved12() {}
  virtual void ENGINE_CALL Reserved13() {}
  virtual void ENGINE_CALL Reserved14() {}
  // The bytes stay the caller's and must outlive their use. The launcher passes mode 1.
  virtual void ENGINE_CALL SetSource(const void* data, uint32_t size, int mode) = 0;
  virtual void ENGINE_CALL Reserved16() {}
  virtual void ENGINE_CALL Reserved17() {}
  // Whether the source begins with the tag ("TMKF"). The launcher passes 0.
  virtual uint8_t ENGINE_CALL HasTag(const char* tag, int arg) = 0;
  virtual void ENGINE_CALL Reserved19() {}
  virtual void ENGINE_CALL Reserved20() {}
  virtual void ENGINE_CALL Reserved21() {}
  virtual void ENGINE_CALL Reserved22() {}
  // The bytes to write: decoded bytes after a decode, else the source's.
  virtual const uint8_t* ENGINE_CALL OutputData() = 0;
  virtual uint32_t ENGINE_CALL OutputSize() = 0;

 protected:
  ~FileLoaderChannel() = default;
};

// Lists one folder's files and subfolders.
class DirectoryListChannel {
 public:
  virtual void ENGINE_CALL Release(int flags) = 0;
  virtual void ENGINE_CALL Reserved1() {}
  virtual void ENGINE_CALL Reserved2() {}
  virtual void ENGINE_CALL Reserved3() {}
  virtual void ENGINE_CALL Reserved4() {}
  virtual void ENGINE_CALL Reserved5() {}
  virtual void ENGINE_CALL Reserved6() {}
  virtual void ENGINE_CALL Reserved7() {}
  virtual void ENGINE_CALL Reserved8() {}
  virtual void ENGINE_CALL Reserved9() {}
  virtual void ENGINE_CALL Reserved10() {}
  virtual void ENGINE_CALL Reserved11() {}
  virtual void ENGINE_CALL Reserved12() {}
  virtual int32_t ENGINE_CALL NumFiles() = 0;
  virtual int32_t ENGINE_CALL NumFolders() = 0;
  // Lists the matches of a search pattern such as folder + "\*.*".
  virtual void ENGINE_CALL Scan(const char* pattern) = 0;
  // The file-name filter for the next Scan ("*.*").
  virtual void ENGINE_CALL SetFilter(const char* filter) = 0;
  virtual void ENGINE_CALL Reserved17() {}
  // Names within the scanned folder; null outside 0 .. count - 1. Folders include "." and "..".
  virtual const char* ENGINE_CALL FileAt(int32_t index) = 0;
  virtual const char* ENGINE_CALL FolderAt(int32_t index) = 0;

 protected:
  ~DirectoryListChannel() = default;
};

// Writes files of tagged chunks; one object may write several files in turn.
class FileSaverChannel {
 public:
  virtual void ENGINE_CALL Release(int flags) = 0;
  virtual void ENGINE_CALL Reserved1() {}
  virtual void ENGINE_CALL Reserved2() {}
  virtual void ENGINE_CALL Reserved3() {}
  virtual void ENGINE_CALL Reserved4() {}
  virtual void ENGINE_CALL Reserved5() {}
  virtual void ENGINE_CALL Reserved6() {}
  virtual void ENGINE_CALL Reserved7() {}
  virtual void ENGINE_CALL Reserved8() {}
  virtual void ENGINE_CALL Reserved9() {}
  virtual void ENGINE_CALL Reserved10() {}
  virtual void ENGINE_CALL Reserved11() {}
  virtual void ENGINE_CALL Reserved12() {}
  // Creates the file (mode 0). 0 = not opened.
  virtual uint8_t ENGINE_CALL Open(const char* path, int mode) = 0;
  // Starts a chunk with a 4-character tag.
  virtual void ENGINE_CALL BeginChunk(const char* tag) = 0;
  virtual void ENGINE_CALL WriteChunkSize(uint32_t size) = 0;
  virtual void ENGINE_CALL WriteData(const void* data, uint32_t size) = 0;
  // Ends the file; harmless when Open failed.
  virtual void ENGINE_CALL Close() = 0;

 protected:
  ~FileSaverChannel() = default;
};

// The library's one export, looked up by this name.
inline constexpr const char kGetEngineControlInstanceName[] = "GetEngineControlInstance";
// A new EngineControl, or null on failure.
using GetEngineControlInstanceFn = EngineControl*(ENGINE_EXPORT_CALL*)();

// Field 17 of the factory; offsetof on a class with a table is conditionally supported, and
// GCC and Clang support it.
#if defined(__GNUC__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Winvalid-offsetof"
#endif
static_assert(offsetof(ChannelFactory, containerDecoder) == 16 * sizeof(void*));
#if defined(__GNUC__)
#pragma GCC diagnostic pop
#endif
