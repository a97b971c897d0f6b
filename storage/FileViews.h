#pragma once

#include "storage/Fileblock.h"

#include <cstdint>

// Reads of a file through a read-only view of it, with no system call, where the file
// operations in use offer one. A view is used only for bytes within the file's size as this
// process wrote it, and only while the file operations that made it are the ones in use; it
// is dropped before the file is cut or closed. For files no other process changes.
namespace storage {

// True when the bytes were read (the position then moves past them as a read moves it);
// false when the caller has to read them itself.
bool ReadThroughView(FileRecord& file, std::int64_t offset, std::int32_t length, void* buffer);
// After `length` bytes were written at `offset`: the file reaches at least their end.
void NoteWritten(const FileRecord& file, std::int64_t offset, std::int64_t length);
void DropView(const FileRecord& file);
// FileReadAt, served by the view where one may be used: only when `viewable`, that is when
// no other process changes the file.
void FileReadAtViewed(FileRecord& file, bool viewable, std::int64_t offset, std::int32_t length,
                      void* buffer);

} // namespace storage
