#pragma once

#include "storage/Fileblock.h"

#include <cstdint>

// Reads of a file through a read-only view of it, with no system call, where the file
// operations in use offer one. A view is used only for bytes within the file's size as this
// process wrote it, and only while the file operations that made it are the ones in use; it
// is dropped before the file is cut or closed. A file cut shorter by another program under the
// view is a read error (10070) from then on, never a signal.
namespace storage {

// True when the bytes were read (the position then moves past them as a read moves it), or
// when the view found the file cut shorter by another program (10070); false when the caller
// has to read them itself. `continued`: the caller reads on from their end at once, and that
// read finds a cut these bytes lie in, too.
bool ReadThroughView(FileRecord& file, std::int64_t offset, std::int32_t length, void* buffer,
                     bool continued = false);
// After `length` bytes were written at `offset`: the file reaches at least their end.
void NoteWritten(const FileRecord& file, std::int64_t offset, std::int64_t length);
// Releases the view; a file found cut stays so.
void DropView(const FileRecord& file);
// The file was found cut shorter by another program without the view (by its size): from now
// on as when the view found it so.
void NoteCut(const FileRecord& file);
// The file is closed: everything about it is forgotten.
void ForgetView(const FileRecord& file);
// Another program cut the file shorter than this process left it: every later read and write
// of it fails with 10070 until it is closed.
bool FileWasCut(const FileRecord& file);
// FileReadAt, served by the view where one may be used: only when `viewable`, that is when
// no other process changes the file.
void FileReadAtViewed(FileRecord& file, bool viewable, std::int64_t offset, std::int32_t length,
                      void* buffer);

} // namespace storage
