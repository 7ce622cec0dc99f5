// Where the publisher's web server keeps what the launcher asks for. The host is fixed when
// the launcher is built; the client always speaks plain HTTP on port 80.
#pragma once

#include "launcher/server_host.h"

// The folder that holds the server's scripts and the game files; a game file's URL is this
// followed by its name with spaces written as "%20".
#define LAUNCHER_SERVER_FOLDER_URL "http://" LAUNCHER_SERVER_HOST "/launcher/"

namespace server {

constexpr const char* kFolderUrl = LAUNCHER_SERVER_FOLDER_URL;
constexpr const char* kVersionCheckUrl = LAUNCHER_SERVER_FOLDER_URL "versioncheck.php";
constexpr const char* kDirectoryUrl = LAUNCHER_SERVER_FOLDER_URL "directory.php";

}  // namespace server
