#pragma once

namespace korvane {

// Creates the traffic log's folder, relative to the current directory. An existing folder is
// fine, and a folder that cannot be created is not reported (the log file then fails to open).
void createTrafficLogFolder(const char* folder);

// What joins the folder and the file name in the log file's path on this platform.
char trafficLogPathSeparator();

}  // namespace korvane
