// Files as the plug-in and zelto touch them. Loaders open without blocking
// and accept regular files only, so a FIFO or a device named as a preset
// never hangs a host's thread. Writers replace a file atomically: the data
// goes to a temporary file in the target's folder (unnamed while it is being
// written where the file system allows it), is synced, and is moved over the
// target only when complete, so a failed or interrupted write leaves the old
// file untouched. A symlink at the target is followed (the file it points to
// is replaced, the link stays); a directory, device, FIFO or socket is
// refused; a replaced file keeps its mode, a new one gets 0644 less the umask.
// On Windows paths are UTF-8 here and UTF-16 for the system; symbolic links
// are not followed (the file the path names is replaced), devices such as
// "NUL" or "\\.\pipe\x" are refused by name before anything is opened, and a
// read-only file is refused rather than replaced (see win32/FileIO.cpp).
// Never call from the audio thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace zelto {

enum class ReadError { None, Missing, NotAFile, TooLarge, Failed };

/// A short phrase for a read failure: "does not exist", "is not a regular file" …
const char* describeReadError(ReadError error);

/// Opens path read-only without blocking and only if it is a regular file.
/// The descriptor (close-on-exec), or -1 with the reason in *error.
int openRegularFile(const std::string& path, ReadError* error = nullptr);

/// The file's bytes, or nullopt (with the reason in *error) when it cannot
/// be opened for reading, is not a regular file or holds more than maxSize.
std::optional<std::vector<uint8_t>> readWholeFile(const std::string& path, size_t maxSize,
                                                  ReadError* error = nullptr);

/// One atomic replacement of a file: construct (which checks the target and
/// creates the temporary file), write through fd(), then commit(). Destroying
/// it without a successful commit removes every trace of the attempt.
class AtomicFileWriter {
  public:
    explicit AtomicFileWriter(const std::string& path);
    ~AtomicFileWriter();
    AtomicFileWriter(const AtomicFileWriter&) = delete;
    AtomicFileWriter& operator=(const AtomicFileWriter&) = delete;

    /// False when the target was refused or no temporary file could be made.
    bool ok() const { return fd_ >= 0; }
    int fd() const { return fd_; }
    /// Why the last step failed, as a clause that follows "cannot write 'x': ".
    const std::string& error() const { return error_; }
    /// The file that will be replaced: the path with any symlinks followed
    /// (on Windows the path itself).
    const std::string& target() const { return target_; }
    /// The temporary file's name while it has one ("" while it is unnamed).
    const std::string& temporaryPath() const { return tempPath_; }

    bool write(const void* data, size_t size);
    /// Syncs the data, closes the file and moves it over the target.
    bool commit();
    /// Abandons the write; the target stays as it was.
    void discard();

  private:
    bool fail(const std::string& why);
    bool linkUnnamed();

    std::string target_, folder_, name_, tempPath_, error_;
    int fd_ = -1;
    bool unnamed_ = false;
    bool committed_ = false;
};

/// Whether path can be replaced by a writer: false (with the reason, as for
/// AtomicFileWriter::error) when it is or leads to a directory, device, FIFO
/// or socket. Nothing is created.
bool canReplace(const std::string& path, std::string* why = nullptr);

/// Replaces path with data; false (with the reason in *error) and the old
/// file untouched on failure.
bool writeFileAtomically(const std::string& path, const void* data, size_t size,
                         std::string* error = nullptr);

/// Whether a name is one of our temporary files (".NAME.zelto-XXXXXX").
bool isTemporaryName(const std::string& name);

/// Removes temporary files of ours in folder that a writer killed before it
/// could clean up left behind: owned by this user (not checked on Windows,
/// where folders are shared through their permissions) and untouched for
/// minAgeSeconds, so a write in progress elsewhere is never disturbed.
void sweepStaleTemporaries(const std::string& folder, int minAgeSeconds = 60);

/// True when both paths name the same existing file (symlinks followed).
bool sameFile(const std::string& a, const std::string& b);

/// Splits a path at its last '/' into folder (with the slash) and file name;
/// on Windows at its last '/' or '\\', or after a drive ("C:name").
void splitPath(const std::string& path, std::string& folder, std::string& name);

}  // namespace zelto
