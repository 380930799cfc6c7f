// The engine tables' slot numbers as the compiler laid them out, read from member pointers.
#include "deploy/EngineInterface.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

#if defined(__x86_64__) || defined(__i386__)
// Itanium C++ ABI: a pointer to a virtual member holds 1 + the slot's byte offset in the table
// (and a this-adjustment of 0 for a class without bases).
template <typename Member>
int SlotOf(Member member) {
  static_assert(sizeof(Member) == 2 * sizeof(void*));
  struct {
    uintptr_t ptr;
    ptrdiff_t adj;
  } rep;
  std::memcpy(&rep, &member, sizeof rep);
  if ((rep.ptr & 1) == 0 || rep.adj != 0) return -1;
  return static_cast<int>((rep.ptr - 1) / sizeof(void*));
}

TEST(EngineInterface, EngineControlSlots) {
  EXPECT_EQ(SlotOf(&EngineControl::Release), 0);
  EXPECT_EQ(SlotOf(&EngineControl::Initialize), 2);
  EXPECT_EQ(SlotOf(&EngineControl::GetChannelFactory), 5);
  EXPECT_EQ(SlotOf(&EngineControl::SetWorkDir), 7);
}

TEST(EngineInterface, FactoryAndDecoderSlots) {
  EXPECT_EQ(SlotOf(&ChannelFactory::Release), 0);
  EXPECT_EQ(SlotOf(&ChannelFactory::CreateChannel), 15);
  EXPECT_EQ(SlotOf(&ContainerDecoder::Release), 0);
  EXPECT_EQ(SlotOf(&ContainerDecoder::Reserved31), 31);
  EXPECT_EQ(SlotOf(&ContainerDecoder::DecodeContainer), 32);
}

TEST(EngineInterface, ChannelSlots) {
  EXPECT_EQ(SlotOf(&FileLoaderChannel::Release), 0);
  EXPECT_EQ(SlotOf(&FileLoaderChannel::SetSource), 15);
  EXPECT_EQ(SlotOf(&FileLoaderChannel::HasTag), 18);
  EXPECT_EQ(SlotOf(&FileLoaderChannel::OutputData), 23);
  EXPECT_EQ(SlotOf(&FileLoaderChannel::OutputSize), 24);

  EXPECT_EQ(SlotOf(&DirectoryListChannel::Release), 0);
  EXPECT_EQ(SlotOf(&DirectoryListChannel::NumFiles), 13);
  EXPECT_EQ(SlotOf(&DirectoryListChannel::NumFolders), 14);
  EXPECT_EQ(SlotOf(&DirectoryListChannel::Scan), 15);
  EXPECT_EQ(SlotOf(&DirectoryListChannel::SetFilter), 16);
  EXPECT_EQ(SlotOf(&DirectoryListChannel::FileAt), 18);
  EXPECT_EQ(SlotOf(&DirectoryListChannel::FolderAt), 19);

  EXPECT_EQ(SlotOf(&FileSaverChannel::Release), 0);
  EXPECT_EQ(SlotOf(&FileSaverChannel::Open), 13);
  EXPECT_EQ(SlotOf(&FileSaverChannel::BeginChunk), 14);
  EXPECT_EQ(SlotOf(&FileSaverChannel::WriteChunkSize), 15);
  EXPECT_EQ(SlotOf(&FileSaverChannel::WriteData), 16);
  EXPECT_EQ(SlotOf(&FileSaverChannel::Close), 17);
}
#endif

}  // namespace
