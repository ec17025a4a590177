// The one seam between the program and the operating system.
//
// Every OS service the program needs is reached through the functions
// declared here (and through the OS file layer, whose backend lives beside
// them). Exactly one backend is compiled in: Core/platform/posix on Linux,
// Core/platform/win32 on Windows, each one file per heading below. Nothing
// outside Core/platform includes an OS header.
//
// Paths handed to these functions are native paths (the platform's own
// separator). Wide paths are 16-bit units, turned into the system's names
// as FxPlatformNameBytes says.
//
// A call that can fail for a reason the system gives answers a cFxOsResult
// naming that reason; the calls that fail for reasons of their own (a path
// too long, a lock held elsewhere, a time-out) answer false or say which.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "API/core/FxError.h"
#include "API/core/FxTypes.h"
#include "API/core/cFxString.h"

// The platform's path separator as it appears in native paths.
#ifdef _WIN32
constexpr wchar16 cFxNativeSeparator = u'\\';
#else
constexpr wchar16 cFxNativeSeparator = u'/';
#endif

// ---- System errors -----------------------------------------------------------------
// What a call that can fail answers: success, or the system's error that
// stopped it, named as the OS file layer names it (its kFxError::cFile...
// code) and in the system's own words, e.g. "No space left on device".
// Each backend makes these from the system's error number in one place
// (errno on POSIX, GetLastError on Windows), so the same error has the
// same code and words whoever meets it. It touches neither the error
// record nor the string heap: threads of their own use it too.
class cFxOsResult {
 public:
  cFxOsResult() = default;  // success
  cFxOsResult(uint32_t code, std::string text) : mCode(code), mText(std::move(text)) {}

  bool IsOk() const { return mCode == 0; }
  bool IsMissing() const { return mCode == kFxError::cFileNotFound; }  // no such file or directory
  bool IsDenied() const { return mCode == kFxError::cFileAccess; }     // access denied, write-protected
  bool IsEnd() const { return mCode == kFxError::cFileNoMore; }        // a listing has no more entries
  uint32_t Code() const { return mCode; }  // 0 on success
  // The system's words, without a full stop; empty on success.
  const std::string& Text() const { return mText; }

  // Puts the failure in the error record: its code, and its words as the
  // message.
  void Record() const {
    FxSetErrorCode(mCode);
    FxSetErrorMessage("%s", mText.c_str());
  }

 private:
  uint32_t mCode = 0;
  std::string mText;
};
// Records the system's last error (errno, GetLastError) in the error
// record, as cFxOsResult::Record does. The OS file layer's calls report
// their failures so.
void FxPlatformRecordSystemError();
// The system's words for its last error, without recording anything: safe
// on any thread.
std::string FxPlatformLastErrorText();

// ---- File names and paths as 16-bit text ----------------------------------------
// How the bytes of a name from the system (the current directory, a
// directory entry, a file name typed on the command line) become 16-bit
// text, and how text becomes those bytes again wherever a path is reduced to
// 8 bits (an open, the serializer's command line, a rename, the progress
// line). POSIX names are UTF-8: a valid sequence gives its UTF-16 units, a
// byte that starts none gives U+DC00 + byte (0x80..0xFF as U+DC80..U+DCFF)
// and goes back as that byte, so every name round-trips and a key made on
// POSIX equals the Windows one. On Windows a unit keeps its low byte and a
// byte widens by sign extension. Neither touches the string heap, so `text`
// may point into a core string.
std::u16string FxPlatformNameUnits(const char* name, uint32_t length);
std::string FxPlatformNameBytes(const wchar16* text, uint32_t length);
// The 16-bit units the system itself reads an 8-bit native path as, where
// the OS file layer hands one to a 16-bit call: on Windows through the ANSI
// code page, as the system's 8-bit file functions read it; on POSIX as
// FxPlatformNameUnits, the bytes being the names.
std::u16string FxPlatformNativePathUnits(const char* path, uint32_t length);
// What a unit of a name is where the system gets it, for the units that
// shape a path (a separator, ".", ":", the NUL that ends a name): on
// Windows its low byte, so U+015C ends up a backslash; on POSIX the unit
// itself, since only an ASCII unit becomes an ASCII byte.
constexpr wchar16 FxPlatformSystemUnit(wchar16 unit) {
#ifdef _WIN32
  return static_cast<wchar16>(unit & 0xFF);
#else
  return unit;
#endif
}
// Whether the system takes one name of a path (`length` units, no
// separator or NUL among them) for that very name. Always on POSIX, where
// a name is any bytes. Not on Windows for a name that holds ":" (a drive,
// or a stream of a file), ends in "." or " " (the system drops those, so
// "... " or "a.xml." would reach another name than the one written) or
// names a device ("CON", "nul.xml", "COM1"), whatever the case.
bool FxPlatformIsPlainName(const wchar16* name, uint32_t length);
// Whether ":" may stand in a file name. On POSIX every byte but "/" and NUL
// may; on Windows it only follows a drive letter.
#ifdef _WIN32
constexpr bool cFxColonInNames = false;
#else
constexpr bool cFxColonInNames = true;
#endif
// Whether internal paths name drives: on Windows "@os:c/data/a.xml" is
// c:\data\a.xml, and its drive ("c/") is a root that ".." never removes.
#ifdef _WIN32
constexpr bool cFxDriveRoots = true;
#else
constexpr bool cFxDriveRoots = false;
#endif

// The current directory as a native path without trailing separator (except
// for a root). Answers its length, or 0 when it cannot be read or does not
// fit `capacity` units (terminator included).
uint32_t FxPlatformGetCurrentDirectory(wchar16* buffer, uint32_t capacity);
// Turns an OS path (relative or absolute) into an internal "@os:" form for
// cFxPath to normalise: leading and trailing blanks trimmed, a relative path
// combined with the current directory. On POSIX a run of "/" becomes one and
// a trailing "/" goes; on Windows the system canonicalises the path. False
// when the path is too long or the current directory cannot be read.
bool FxPlatformNativeToInternal(const char* nativePath, cFxString& internal);
// The longest native path, in bytes, the system opens.
uint32_t FxPlatformPathLimit();

// ---- Files --------------------------------------------------------------------------
// By wide native path (walker, conversion, write-back).
// Success when the file exists and may be read and written; IsMissing()
// when it does not exist; IsDenied() when it exists but may not be written.
cFxOsResult FxPlatformAccessReadWrite(const wchar16* path);
cFxOsResult FxPlatformMakeReadWrite(const wchar16* path);  // read and write for the owner
cFxOsResult FxPlatformDeleteFile(const wchar16* path);
// Replaces `target` by `source` in one step: no moment exists at which the
// target is missing or partly written. On failure both stay as they were.
// A target somebody holds open, which Windows will not replace, is waited
// for up to cFxReplaceWaitMilliseconds. Made for a thread of its own.
cFxOsResult FxPlatformReplaceFile(const wchar16* source, const wchar16* target);
constexpr uint32_t cFxReplaceWaitMilliseconds = 2000;

// Files written and read on a thread of their own, by the 8-bit native path
// the OS file layer would open, the way it opens them; they touch neither
// the error record nor the string heap.
// A temporary file, as the layer's kFxFileMode::cModeTemporary makes one:
// a new, empty regular file of the caller's, open for writing, its handle
// in `handle`. Whatever stood at the name is removed as itself first (a
// link, never what it leads to), then the file is created exclusively, so
// nothing planted at the name is ever written through. A directory there,
// or anything put there again meanwhile, makes it fail.
cFxOsResult FxPlatformCreateTemporaryFile(const char* nativePath, intptr_t& handle);
// An existing file opened for reading, as kFxFileMode::cModeRead opens one
// (a directory is refused, as the layer refuses it): its handle in
// `handle`, its size in bytes in `size` (0 when unknown). Closed with
// FxPlatformCloseFile.
cFxOsResult FxPlatformOpenFileForReading(const char* nativePath, intptr_t& handle, uint64_t& size);
// One read of at most `count` bytes into `bytes`: how many came in `got`,
// 0 at the end of the file. A regular file answers fewer than asked only
// at its end.
cFxOsResult FxPlatformReadFile(intptr_t handle, void* bytes, size_t count, size_t& got);
// Writes every byte, or fails.
cFxOsResult FxPlatformWriteFile(intptr_t handle, const void* bytes, size_t count);
// Closes the handle, also when this fails: some file systems report a
// failed write only then.
cFxOsResult FxPlatformCloseFile(intptr_t handle);

// ---- Syncing ------------------------------------------------------------------------
// Has the system put the data of the file `path` names on the storage
// device, so that once it replaces another file a crash cannot leave that
// one cut short. Made for a thread of its own.
cFxOsResult FxPlatformSyncFile(const wchar16* path);
// The same for every file `paths` names, each closed by its writer: once
// per file system they lie on where the system can flush one as a whole
// (which costs the device one request instead of one per file), else file
// by file. One result per path. Made for a thread of its own.
std::vector<cFxOsResult> FxPlatformSyncFiles(const std::vector<std::u16string>& paths);

// ---- Directories: listing and identity --------------------------------------------
// The one directory lister: the data file walker lists with it, and the OS
// file layer's searches are a face over it.
enum eFxEntryKind {
  eFxEntryFile,       // a regular file, or a name that leads nowhere
  eFxEntryDirectory,  // a directory, or a link to one
  eFxEntrySpecial     // a FIFO, socket or device: opening it may wait forever
};
struct sFxDirEntry {
  cFxWString mName;  // the entry's name, without directory
  eFxEntryKind mKind;
};
class cFxDirSearch;  // opaque, owned by the caller until FxPlatformFindClose
// Starts listing `directory`: `search` gets the listing (null on failure)
// and `entry` its first entry whose name matches `pattern`. A pattern is
// matched as the system matches names: "*" any run, "?" any one unit,
// "*.*" every name; on Windows by the system itself (without regard to
// case), on POSIX as the bytes of the name. Null matches every entry, "."
// and ".." among them. IsMissing() when no name matches.
cFxOsResult FxPlatformFindFirst(const wchar16* directory, const wchar16* pattern, cFxDirSearch*& search,
                                sFxDirEntry& entry);
// The next matching entry; IsEnd() when there is none.
cFxOsResult FxPlatformFindNext(cFxDirSearch* search, sFxDirEntry& entry);
cFxOsResult FxPlatformFindClose(cFxDirSearch* search);  // nothing for null
// What the OS file layer tells of the entry `search` gave last besides its
// kind: its size and whether it may only be read, of what a link leads to
// (of the link itself when it leads nowhere). Fails for an entry gone since
// it was listed.
cFxOsResult FxPlatformDescribeEntry(cFxDirSearch* search, const sFxDirEntry& entry, uint64_t& size,
                                    bool& readOnly);
// A stable identity of a directory (volume and file number), so a walk can
// tell a directory it has already entered through a link. A file has one
// too: two names of the same file give the same identity.
cFxOsResult FxPlatformGetDirectoryIdentity(const wchar16* directory, uint64_t* volume, uint64_t* file);
// The identity of the directory `search` lists, the one
// FxPlatformGetDirectoryIdentity gives for the name it was started on;
// taken from the open directory where the system allows, so a walk that
// lists a directory does not look its name up a second time.
cFxOsResult FxPlatformGetSearchIdentity(cFxDirSearch* search, uint64_t* volume, uint64_t* file);

// ---- The lock of a rewriting run -------------------------------------------------
// One run at a time rewrites the files of a tree. The lock is the system's,
// held on the directory itself (POSIX: flock on the directory; Windows: a
// named mutex made from the directory's canonical path), so nothing is
// added to the tree, and the system drops it when the process ends, however
// it ends. Programs the process starts do not hold it.
enum eFxTreeLock {
  eFxTreeLockTaken,   // held until FxPlatformUnlockTree or the process's end
  eFxTreeLockBusy,    // another process holds it
  eFxTreeLockNone     // it cannot be taken here: the directory cannot be opened
};
// Takes the lock of `directory` without waiting; when taken, `lock` is what
// FxPlatformUnlockTree gives back.
eFxTreeLock FxPlatformLockTree(const wchar16* directory, intptr_t& lock);
// Drops a lock taken by FxPlatformLockTree, on the thread that took it.
void FxPlatformUnlockTree(intptr_t lock);

// ---- Processes ----------------------------------------------------------------------
// Every child program is started here, directly (no shell), with `args`
// as argv[1..] (a null-terminated array, or null for none). A program name
// without directory is looked up in the child's working directory first (as
// for the Windows user), then along the search path; a name with a directory
// is taken as it stands, a relative one from the caller's current directory.
// A start that fails says why in its result, and leaves that as the
// system's last error (FxPlatformLastErrorText) too.

// Where a child runs and where its output goes. The defaults leave each as
// the caller's own: the same current directory, the same standard output
// and standard error.
struct sFxProgramSetup {
  const char* mWorkingDirectory = nullptr;
  const char* mOutputFile = nullptr;  // standard output into this file, created or emptied
  const char* mErrorFile = nullptr;   // standard error likewise
  // "NAME=value" entries (a null-terminated array) the child's environment
  // holds besides the caller's, each in place of the caller's variable of
  // that name.
  const char* const* mEnvironment = nullptr;
};
// A file name for mOutputFile or mErrorFile that keeps nothing written to it.
#ifdef _WIN32
constexpr const char* cFxDiscardedOutput = "NUL";
#else
constexpr const char* cFxDiscardedOutput = "/dev/null";
#endif

// An exit status is the one the platform's shell reports: 0..255 on POSIX
// (128 + the signal's number for a child ended by a signal), the whole exit
// code on Windows (-1 after a fatal error).

// Runs `program` set up as `setup` says and waits for it; its exit status
// in *exitStatus if that is not null.
cFxOsResult FxPlatformRunProgram(const char* program, const char* const* args, int* exitStatus,
                                 const sFxProgramSetup& setup = sFxProgramSetup());

// Starts `program` set up as `setup` says, without waiting for it, so
// several can run at once. `token` gets the number (never 0) by which a
// wait names it. A child started here is the caller's until one of the
// waits below has reaped it.
cFxOsResult FxPlatformStartProgram(const char* program, const char* const* args, uint32_t& token,
                                   const sFxProgramSetup& setup = sFxProgramSetup());
// Waits until one of the children from FxPlatformStartProgram ends and
// answers its token, with its exit status in *exitStatus if that is not
// null. Answers 0 at once when none of them is running.
uint32_t FxPlatformWaitForAnyProgram(int* exitStatus);
// Waits for every child from FxPlatformStartProgram. The fatal error path
// calls it, so no child outlives the program or is left unreaped.
void FxPlatformWaitForAllPrograms();
// How many children from FxPlatformStartProgram have not been waited for.
uint32_t FxPlatformRunningProgramCount();

// The program file `program` names, from the root, in `path`: a name with a
// directory as it stands (a relative one from the current directory), a
// name without one from the current directory first when
// `currentDirectoryFirst`, then along the search path. A file counts when
// the system may start it, or when it is a Windows program that the system
// cannot start itself (FxPlatformIsWindowsProgram): such a program is read
// by wine, which needs no execute permission. Fails when no file counts,
// saying why as a start does.
cFxOsResult FxPlatformFindProgram(const char* program, bool currentDirectoryFirst, std::string& path);
// Whether the program file `path` is a Windows program that this system
// cannot start itself: on POSIX a file beginning with the "MZ" header of
// Windows executables; never on Windows.
bool FxPlatformIsWindowsProgram(const char* path);

// The value of the environment variable `name`, or null when it is not set.
// The text belongs to the environment; copy it before changing any variable.
const char* FxPlatformGetEnvironment(const char* name);

// ---- Console, debugger, message box, log viewer ----------------------------------
// A write the system would answer by ending the process must fail instead,
// and the run go on as after any failed write: one to standard output after
// its reader went away (glossmill -sx out.txt | head -1), one beyond the
// file-size limit (ulimit -f), which fails with "File too large" as on a
// full disk. Programs the process starts get the default behaviour back.
// Call once at start.
void FxPlatformKeepRunningWhenWritesFail();
void FxPlatformWriteStdErr(const char* text);
void FxPlatformDebugOutput(const char* text);  // debugger output; no-op on POSIX
// Shows a message box with one OK button (Windows); nothing on POSIX.
void FxPlatformMessageBox(const char* text, const char* caption);
void FxPlatformDebugBreak();  // stops in an attached debugger, else nothing
// The log viewer's window, whose title is `title`, or null (always null on
// POSIX).
void* FxPlatformFindWindow(const char* title);
// Sends a WM_COPYDATA message with `kind` in the data word.
void FxPlatformSendCopyData(void* window, uint32_t kind, const void* data, uint32_t size);

// ---- Threads: stacks and the mutex ----------------------------------------------
// Bounds of the calling thread's stack: [low, high). False when unknown.
bool FxPlatformGetStackBounds(uintptr_t* low, uintptr_t* high);

// A process-local mutex. Lock waits at most `timeoutMs` and answers whether
// it got the mutex.
void* FxPlatformMutexCreate();
bool FxPlatformMutexLock(void* mutex, uint32_t timeoutMs);
void FxPlatformMutexUnlock(void* mutex);
void FxPlatformMutexClose(void* mutex);

// ---- GUID text ------------------------------------------------------------------
// Parses "xxxxxxxx-xxxx-xxxx-xxxx-xxxxxxxxxxxx" (hex digits of either case,
// no braces) into the standard 16-byte layout: a 32-bit, two 16-bit fields
// in the machine's byte order (as a GUID structure holds them in memory),
// then 8 bytes in text order. False (and all zero) when the text does not
// parse.
bool FxPlatformGuidFromString(const char* text, uint8_t out[16]);
// The same text form with lower-case hex digits.
cFxString FxPlatformGuidToString(const uint8_t guid[16]);
// Whether two GUIDs in that layout are the same identifier.
bool FxPlatformGuidEqual(const uint8_t a[16], const uint8_t b[16]);
