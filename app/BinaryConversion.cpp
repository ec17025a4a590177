#include "app/BinaryConversion.h"

#include <string>

#include "Core/platform/FxPlatform.h"
#include "app/DataFiles.h"
#include "app/SerializerJobs.h"
#include "app/SerializerStart.h"

namespace {

// The 8-bit form of a path as an ordinary string, so the argument vector
// does not point into the movable string heap while the child is started.
std::string NarrowUnits(const cFxWString& path) {
  const cFxString narrow = NarrowPath(path);
  return std::string(narrow.c_str(), narrow.Length());
}

// A stale XML form goes before the conversion, so a failed one leaves none.
void DeleteStaleTwin(const cFxWString& twin) {
  const std::u16string twinUnits = StableUnits(twin);
  const cFxOsResult access = FxPlatformAccessReadWrite(twinUnits.c_str());
  if (access.IsMissing()) return;
  if (access.IsDenied()) FxPlatformMakeReadWrite(twinUnits.c_str());
  FxPlatformDeleteFile(twinUnits.c_str());
}

}  // namespace

void StartBinToXml(cSerializerJobs& jobs, const cFxWString& path) {
  if (!path.EndsWith(gBinExtension.c_str())) return;
  const cFxWString twin = XmlTwinOf(path);
  // The twin is what the run writes: no other run may have it open while
  // it is deleted and made again.
  const cSerializerJobs::tFamilies families = FamiliesOf(twin);
  jobs.MakeRoomFor(families);
  DeleteStaleTwin(twin);
  StartSerializer(jobs, families, {NarrowUnits(path), NarrowUnits(twin)}, {kSerializer::cFloatHexSwitch});
}

void ConvertAllBinToXml() {
  cSerializerJobs jobs(SerializerJobLimit());
  for (const cFxWString& path : gDataFiles) StartBinToXml(jobs, path);
  jobs.WaitForAll();
}

void StartXmlToBin(cSerializerJobs& jobs, const cFxWString& xmlPath) {
  const cSerializerJobs::tFamilies families = FamiliesOf(xmlPath);
  jobs.MakeRoomFor(families);
  StartSerializer(jobs, families, {NarrowUnits(xmlPath)}, {});
}

void ConvertAllXmlToBin() {
  cSerializerJobs jobs(SerializerJobLimit());
  for (const cFxWString& path : gDataFiles)
    if (path.EndsWith(gBinExtension.c_str())) StartXmlToBin(jobs, XmlTwinOf(path));
  jobs.WaitForAll();
}
