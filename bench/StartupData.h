#pragma once

#include <string>

// The start-up benchmarks' data: a program folder holding a data file of 1,000 bodies of water
// with 100 tests each (101,000 records), as the database layer writes them.
inline constexpr int kStartupBodies = 1000;
inline constexpr int kStartupTestsPerBody = 100;

// A new folder under the temporary folder, named after `prefix`; aborts when it cannot be made.
std::string MakeBenchFolder(const std::string& prefix);
// Makes the data folder and file of the program folder now in use (SetProgramFolder); aborts
// on any failure. The storage engine must be started.
void MakeStartupDataFile();
