// The update and replacement operations are recognised on the command line
// but their runs are not part of this build yet: say so instead of silently
// doing nothing.
#include <cstdio>

#include "app/RunDrivers.h"

namespace {
void NotAvailable(const char* operation) {
  std::fflush(stdout);
  std::fprintf(stderr, "glossmill: the %s operation is not available in this build\n", operation);
}
}  // namespace

void RunGameUpdate(cFxFile&) { NotAvailable("game update (-gu)"); }
void RunSourceUpdate(cFxFile&) { NotAvailable("source update (-su)"); }

void RunGameReplace(const tTagList&, const tTagList&, const tTagList&) {
  NotAvailable("game replacement (-gr)");
}
void RunSourceReplace(const tTagList&, const tTagList&, const tTagList&) {
  NotAvailable("source replacement (-sr)");
}
