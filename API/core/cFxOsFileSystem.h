// The operating-system file layer: the one object through which the core
// file system reaches the disk.
//
// The layer opens files (answering cFxOsFile objects), reads and writes file
// attributes, deletes files, creates and removes directories, enumerates
// directories (answering cFxOsSearch objects) and turns core paths into
// native paths. It is mounted under a name in the process-wide mount table;
// cFxFile finds it there by the file-system name of a cFxPath ("os").
//
// Paths handed to the layer are either a whole internal form of this file
// system ("@os:/home/u/a.xml") or the part after its "@os:" prefix.
//
// No operation throws. Every failure records an error code in the error
// record (kFxError::cFile...) and answers false, null or -1.
//
// The platform-neutral parts (mount table, file object pool, object
// storage, open-mode decoding, argument checks, the one-pending-read rule,
// 32-bit positions, directory searches over the platform's one lister) live
// in Core/cFxOsFileSystem.cpp; what else touches the disk is defined by the
// platform backend in Core/platform/<os>/.
#pragma once

#include <cstddef>

#include "API/core/FxTypes.h"
#include "API/core/cFxString.h"

// File information filled in by attribute queries and directory searches.
struct sFxFileInfo {
  uint32_t mSize = 0;   // low 32 bits of the file's size
  uint32_t mFlags = 0;  // kFxFileInfo bits
};

namespace kFxFileInfo {
constexpr uint32_t cReadOnly = 0x1;
constexpr uint32_t cDirectory = 0x2;
}  // namespace kFxFileInfo

// Open mode bits.
namespace kFxFileMode {
constexpr int cRead = 0x1;
constexpr int cWrite = 0x2;
constexpr int cAppend = 0x4;     // after opening, go to the end
constexpr int cCreate = 0x8;
constexpr int cReplace = 0x10;   // with create: replace; without: truncate
constexpr int cOnlyNew = 0x20;   // with create: fail on an existing file
// With create and only-new: whatever stands at the name is removed first,
// as itself (a link goes, what it leads to stays); a directory there
// cannot be, and the open fails. The file created then is one nobody else
// had a name for.
constexpr int cClearFirst = 0x40;
constexpr int cOverlapped = 0x8000;

// The modes the program uses.
constexpr int cModeRead = cRead;                           // 1: an existing file
constexpr int cModeAppend = cWrite | cAppend | cCreate;    // 14: append, create when missing
constexpr int cModeReplace = cWrite | cCreate | cReplace;  // 26: create or replace
// 104: a temporary file, always a new regular file made by this open.
constexpr int cModeTemporary = cWrite | cCreate | cOnlyNew | cClearFirst;
}  // namespace kFxFileMode

// Attribute bits of Open.
namespace kFxFileAttribute {
constexpr int cReadOnly = 0x1;  // a created file may only be read
}

// Open mode bits decoded once for every backend.
enum eFxDisposition {
  eFxOpenExisting,      // neither create nor truncate
  eFxTruncateExisting,  // replace bit without create
  eFxOpenAlways,        // create alone
  eFxCreateAlways,      // create and replace
  eFxCreateNew,         // create and only-new (wins over replace)
  eFxClearAndCreateNew  // create, only-new and clear-first
};
struct sFxOpenRequest {
  bool mRead;
  bool mWrite;
  eFxDisposition mDisposition;
  bool mReadOnlyFile;  // attribute bit 0: a created file may only be read
  bool mOverlapped;
};
sFxOpenRequest FxDecodeOpenMode(int mode, int attributes);

// Tag that selects a file object's storage from the pool of open files.
struct sFxFromFilePool {};
constexpr sFxFromFilePool kFxFromFilePool{};

// An open operating-system file. The layer creates them in the pool of open
// files (new (kFxFromFilePool) ...); deleting one gives its pool entry back.
// Objects of derived classes built with plain new (stand-ins for tests) live
// in ordinary memory and are freed there.
//
// Positions and sizes are 32-bit: a position that does not fit an int is a
// failure.
class cFxOsFile {
 public:
  cFxOsFile() : mHandle(-1) {}
  explicit cFxOsFile(intptr_t handle) : mHandle(handle) {}
  // Closes the handle when the owner did not.
  virtual ~cFxOsFile();
  cFxOsFile(const cFxOsFile&) = delete;
  cFxOsFile& operator=(const cFxOsFile&) = delete;

  // Closes the native handle unless already closed; the handle becomes -1.
  virtual bool Close();
  // Bytes read (0 at the end of the file), or -1.
  virtual int Read(void* buffer, int count);
  // One read at `offset` that runs beside the file's position; at most one
  // such read may be pending in the whole process. True when the read was
  // started (or finished at once, also at the end of the file).
  virtual bool ReadAsync(uint32_t offset, void* buffer, int count);
  // True when this file's pending read has finished. False, with
  // cFileReadPending, when no read of this file is pending.
  virtual bool IsReadDone();
  // Waits for this file's pending read and clears the pending mark.
  virtual bool WaitRead();
  // Bytes written, or -1.
  virtual int Write(const void* buffer, int count);
  // Hands the written data to the storage device.
  virtual bool Flush();
  virtual bool Tell(int& position);
  virtual bool Seek(int position);
  virtual bool SeekRelative(int delta);
  virtual bool SeekFromEnd(int delta);

  intptr_t GetHandle() const { return mHandle; }

  static void* operator new(size_t size);  // ordinary memory
  // A free pool entry, or null (pool exhausted, pool lock not obtained).
  static void* operator new(size_t size, const sFxFromFilePool&) noexcept;
  // Gives a pool entry back, frees anything else.
  static void operator delete(void* object);
  static void operator delete(void* object, const sFxFromFilePool&) noexcept;

 protected:
  intptr_t mHandle;  // native handle (file descriptor / HANDLE), -1 when closed

 private:
  enum eOrigin { eFromStart, eFromCurrent, eFromEnd };
  bool Move(int distance, eOrigin origin, int* position);

  // Supplied by the platform backend. The operations above have checked
  // the arguments and kept the one-pending-read rule; failures record their
  // error code.
  int ReadNative(void* buffer, int count);
  int WriteNative(const void* buffer, int count);
  bool StartReadNative(uint32_t offset, void* buffer, int count);
  bool IsReadFinishedNative();
  bool WaitReadNative();
  void CancelReadNative();  // the pending read must end before its handle
  bool MoveNative(int distance, eOrigin origin, int64_t& position);
  static bool CloseNative(intptr_t handle);
};

// A running directory search. Created by cFxOsFileSystem::FindFirst in the
// memory manager's block heap: keep the pointer in a local variable (the
// block heap does not move blocks the stack points into) and delete it when
// done, which closes it and frees its block.
class cFxOsSearch {
 public:
  explicit cFxOsSearch(void* handle) : mHandle(handle) {}
  virtual ~cFxOsSearch();
  cFxOsSearch(const cFxOsSearch&) = delete;
  cFxOsSearch& operator=(const cFxOsSearch&) = delete;

  virtual bool Close();
  // The next match; false with cFileNoMore when there is none.
  virtual bool FindNext(sFxFileInfo& info);

  // The block heap's storage; null when the heap cannot supply it.
  static void* operator new(size_t size) noexcept;
  static void operator delete(void* object);

 protected:
  void* mHandle;  // native search state, null when closed
};

// The file layer. One object lives for the whole run, mounted under "os".
class cFxOsFileSystem {
 public:
  cFxOsFileSystem() = default;
  virtual ~cFxOsFileSystem();
  cFxOsFileSystem(const cFxOsFileSystem&) = delete;
  cFxOsFileSystem& operator=(const cFxOsFileSystem&) = delete;

  // Opens with kFxFileMode bits; attribute bit 0 creates a read-only file.
  // Null on failure (also when all pool entries are in use: the native
  // handle is closed again).
  virtual cFxOsFile* Open(const cFxString& path, int mode, int attributes);
  virtual bool GetInfo(const cFxString& path, sFxFileInfo& info);
  // Applies the read-only flag of `info`.
  virtual bool SetInfo(const cFxString& path, const sFxFileInfo& info);
  virtual bool Delete(const cFxString& path);
  // `pattern` is a path whose last part may hold "*" and "?". Fills `info`
  // with the first match; null when nothing matches (cFileNotFound).
  virtual cFxOsSearch* FindFirst(const cFxString& pattern, sFxFileInfo& info);
  // Creates the directory and applies `info` to it; when that fails the
  // directory is removed again. A failing create records no error code.
  virtual bool CreateDirectory(const cFxString& path, const sFxFileInfo& info);
  virtual bool RemoveDirectory(const cFxString& path);
  // Second entries of the attribute operations; they forward.
  virtual bool QueryInfo(const cFxString& path, sFxFileInfo& info);
  virtual bool ApplyInfo(const cFxString& path, const sFxFileInfo& info);
  // The native form of a path of this file system.
  virtual cFxString GetNativePath(const cFxString& path);

 private:
  friend bool FxMount(cFxOsFileSystem&, const cFxString&, uint32_t, const cFxString&, uint32_t);
  friend void FxUnmount(cFxOsFileSystem&);
  friend cFxOsFileSystem* FxFindMount(const cFxString&);

  // Supplied by the platform backend: the native handle, or -1 with the
  // error recorded; a directory that cannot be made records nothing.
  static intptr_t OpenNative(const cFxString& nativePath, const sFxOpenRequest& request);
  static bool MakeDirectoryNative(const cFxString& nativePath);

  cFxString mMountName;
  cFxOsFileSystem* mNextMount = nullptr;
  uint32_t mMountFlags = 0;
  cFxString mMountOptions;
  uint32_t mMountValue = 0;
  bool mMounted = false;
};

// ---- Mount table ---------------------------------------------------------------
// Mounts `fileSystem` under `name` at the front of the table. Fails with
// cFileMount when the name is empty, holds ":" or "/", or is already in the
// table. The flag value and the further value are stored, not interpreted;
// the options hold the root of the file system's internal paths ("@os:").
bool FxMount(cFxOsFileSystem& fileSystem, const cFxString& name, uint32_t flags,
             const cFxString& options, uint32_t value);
// Takes it out of the table (when mounted) and clears its mount values.
void FxUnmount(cFxOsFileSystem& fileSystem);
// The first file system mounted under exactly `name`, or null.
cFxOsFileSystem* FxFindMount(const cFxString& name);

// ---- Pool of open files ----------------------------------------------------------
// At most 256 files are open at once: file objects live in a fixed pool
// whose entries are taken and given back under one mutex.

// Marks every entry free and creates the pool mutex (keeping one made by an
// earlier start). False when the mutex cannot be created. Call before any
// file is opened: entries of files still open are handed out again.
bool FxFilePoolStart();
// Destroys the pool mutex; taking an entry fails afterwards.
void FxFilePoolStop();
