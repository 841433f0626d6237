// Connecting to the server, starting it when it is not running: the one way
// every client (the add-in, the console) reaches the server.
#pragma once

#include <windows.h>
#include <ddeml.h>

#include <string>

#include "ddeclient/dde_client_win.h"

namespace kovo::dde {

// The server program's file name.
inline constexpr char kServerProgram[] = "Kovo.EXE";

// What a client knows about the server between its connects.
struct ServerStart {
  enum class State {
    Unknown,   // not reached yet (or found gone): a connect may start it
    Starting,  // started by this client and not reached yet: connects are retried
    Running,   // reached: a topic that does not answer is not offered
  };
  std::string folder;  // the server program's folder, ending in "\" (may be empty)
  State state = State::Unknown;
};

struct ConnectOutcome {
  bool connected = false;
  // The program could not be started: first_code is what starting it from
  // the folder returned (as WinExec reports, below 32).
  bool launch_failed = false;
  UINT first_code = 0;
  // Neither connected nor started (a connector topic while no server runs,
  // or a server that does not answer): the caller reports the DDE error.
  bool unanswered = false;
};

// Makes sure the conversation exists. Up to two passes: the first tries
// once; when it fails while no server is known and the topic is the generic
// one, the server is started (the folder's program minimised without
// activation, then the program by name minimised) and the second pass tries
// up to 50 times, a tenth of a second apart, while the new server comes up.
// Between tries the thread handles the messages sent to it: a starting
// server announces itself to every window.
ConnectOutcome connect_starting_server(DWORD instance, HSZ service, HSZ topic, bool generic_topic, ServerStart& start,
                                       Conversation& conversation);

// Starts a program as WinExec does (the show state, a wait of at most 30 s
// for the program to take input, the same return codes: above 31 when it
// started), but with none of the caller's standard streams: a server
// outlives its caller, and would otherwise keep open the pipe that a script
// reads the caller's output from.
UINT start_program(const std::string& command_line, int show);

// Waits while handling the messages other programs send to this thread.
void pause_handling_sent_messages(DWORD ms);

}  // namespace kovo::dde
