#pragma once

#include "storage/Fileblock.h"

#include <cstdint>
#include <string>

// The primitive operations on one file of a Fileblock. Each does its work only while FbOk
// is true, so a step after a failed one within the same operation is skipped; a failure sets
// FbOk false, FbErrorCode as the engine maps the system error, and the error snapshot.
namespace storage {

// handle := -1; the name is kept whole (never cut).
void FileSetName(FileRecord& file, const std::string& name);
// Opens the named existing file, read and write or read only; exclusive unless shared.
void FileOpenExisting(FileRecord& file, bool shared, bool readOnly);
// Creates the named file, replacing one of that name; read and write, exclusive.
void FileCreate(FileRecord& file);
// Releases the byte ranges still locked on the file, then closes it; handle := -1.
void FileClose(FileRecord& file);
// Deletes the named file (the record need not be open).
void FileDelete(FileRecord& file);
// The current position; -1 on failure.
std::int64_t FilePosition(FileRecord& file);
void FileSeek(FileRecord& file, std::int64_t offset);
// The file's size (the position moves to the end); -1 on failure.
std::int64_t FileSize(FileRecord& file);
// Reads `length` bytes at `offset`; fewer present gives 10070 (the buffer holds what was read).
void FileReadAt(FileRecord& file, std::int64_t offset, std::int32_t length, void* buffer);
// Writes `length` bytes at `offset`; fewer written gives 10075. A length of 0 writes nothing.
void FileWriteAt(FileRecord& file, std::int64_t offset, std::int32_t length, const void* buffer);
void FileReadHere(FileRecord& file, std::int32_t length, void* buffer);
void FileWriteHere(FileRecord& file, std::int32_t length, const void* buffer);
// Cuts the file at the current position.
void FileTruncateHere(FileRecord& file);
// Cuts the file `length` bytes long.
void FileTruncateAt(FileRecord& file, std::int64_t length);
// Brings the file to the disk. `network`: the Fileblock runs in network mode, where a flush
// that fails for want of handles cannot close and reopen the file (10150).
void FileFlush(FileRecord& file, bool network = false);
// Writes `length` zero bytes at `offset`.
void FileZeroFill(FileRecord& file, std::int64_t offset, std::int64_t length);
// Brings the folder entry of the file (its creation or deletion) to the disk.
void FileFlushFolder(FileRecord& file);

// Engine code for a system error, per primitive.
std::int32_t MapOpenError(platform::SystemError error);
std::int32_t MapCreateError(platform::SystemError error);
std::int32_t MapDeleteError(platform::SystemError error);
std::int32_t MapHandleError(platform::SystemError error); // close, seek, size, read, write, flush

} // namespace storage
