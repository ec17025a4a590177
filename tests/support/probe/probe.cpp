// A child program for the tests that start programs.
//
//   probe.exe <status> [argument...]
//
// Writes each argument after the status to standard output followed by "|",
// its working directory to standard error, and exits with <status>. The
// variables PROBE_A and PROBE_B, where set, come first on standard output
// as "A=<value>|" and "B=<value>|". With
// PROBE_TOGETHER=<n> in its environment it first leaves "started.<status>"
// in its working directory and waits until <n> such files are there, so
// only children that run at the same time can end.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

namespace fs = std::filesystem;

long StartedCount() {
  return std::count_if(fs::directory_iterator("."), fs::directory_iterator(), [](const fs::directory_entry& entry) {
    return entry.path().filename().string().rfind("started.", 0) == 0;
  });
}

int main(int argc, char** argv) {
  const char* together = std::getenv("PROBE_TOGETHER");
  if (together != nullptr && argc > 1) {
    std::ofstream(std::string("started.") + argv[1]).put('x');
    while (StartedCount() < std::atoi(together))
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  for (const char* name : {"PROBE_A", "PROBE_B"})
    if (const char* value = std::getenv(name)) std::printf("%s=%s|", name + 6, value);
  for (int i = 2; i < argc; ++i) std::printf("%s|", argv[i]);
  std::fprintf(stderr, "%s", fs::current_path().string().c_str());
  return argc > 1 ? std::atoi(argv[1]) : 0;
}
