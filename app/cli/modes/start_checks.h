// What can go wrong before anything is sent is found before the question:
// the files the run will read, the port it will open and the folder its
// logs go to. A run refused here has sent nothing (exit status 3), and the
// user reads one line with the reason instead of a failed run's messages.
#pragma once

#include <string>

#include "app/app_state.h"
#include "app/cli/command_line/options.h"
#include "app/update_request.h"
#include "link/serial_backend.h"

namespace r7700::cli {

// The firmware image when it is chosen, then every file of the chosen
// languages (which are built whether or not they are downloaded): each
// must be a regular file that can be read (a FIFO or a device would block
// the run), and the languages together must fit the instrument's language
// area. One line without the program's name; empty when all is well.
std::string InputsProblem(const AppState& app, const UpdateRequest& request);

// Opens the port exclusively and closes it at once: it exists, is a serial
// device and this user may have it. The reason and the next step in one
// line; empty when it could be opened.
std::string PortProblem(SerialBackend& backend, const std::string& port);

// --log-dir: the folder exists and a file can be created in it.
std::string LogFolderProblem(const std::string& folder);

}  // namespace r7700::cli
