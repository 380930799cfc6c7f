// The configuration record that the screensaver and plug-in players read from the target folder.
#pragma once

class DeployJob;
class FileSaverChannel;

// Writes workDir + fileName ("\screensaver.cfg" or "\winamp.cfg") through the saver: "SCFP" with
// workDir + "\ORVStart.orv" in a 259-byte field, "SCTI" with 20, then with the screensaver
// options "SCQC" and "SCSP" with the bytes of "DoQuitCgr" and "DoSmallPreview". Close is called
// even when Open fails, and the record's path joins createdFiles. A record whose path or start
// path would not fit its buffer is not opened, as if it did not open. False only when an option
// setting is missing: its message is shown, the record is closed and its path is not listed.
// The saver stays the caller's.
bool WriteConfigurationRecord(FileSaverChannel* saver, DeployJob& job, const char* fileName,
                              bool withScreensaverOptions);
