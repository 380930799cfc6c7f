// The uninstall record "uninstall.nfo" that every installation mode leaves in its folder.
#pragma once

class DeployJob;
class FileSaverChannel;

// Writes workDir\uninstall.nfo through the saver: "UNFC" and one "UNFN" per created file in
// recording order, "UNDC" and one "UNDN" per created folder last-created first, "UNPN" with the
// 259 bytes of projectName259, then an empty "UNSK" when endMarker is set. Path fields are
// 259 bytes as strncpy fills them. Close is called even when Open fails. Reports nothing; the
// lists are not changed and the saver stays the caller's.
void WriteUninstallRecord(FileSaverChannel* saver, DeployJob& job, const char* projectName259,
                          bool endMarker);
