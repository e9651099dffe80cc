#pragma once

#include <string>
#include <vector>

// Where the log file may go, in the order tried: the configuration folder, then the user's own
// state folder (see platform::UserStateFolder). Never a folder shared with other users.
std::vector<std::string> LogFolderCandidates(const std::string& configFolder);

// The folder the log file of a layer started with this configuration folder goes to, as far as
// can be told without writing there: the first candidate this user can write, or the state
// folder when it is still to be made. Empty when there is none.
std::string ExpectedLogFolder(const std::string& configFolder);
