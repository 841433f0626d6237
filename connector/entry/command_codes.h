// The connector's command codes: the numbers KovoDLLInterface receives. The
// server's item and command tables map the wire names to these, the
// connector's dispatch and its window table act on them; no other place
// writes a command number.
#pragma once

namespace kovo::codes {

enum Code : int {
  // Handled by the server itself, never passed to a connector.
  kClose = 1,          // "[CLOSE"
  kSetTopic = 6,       // "[SETTOPIC"
  kServer = 7,         // "[KovoSERVER"
  kClipToDde = 27,     // "[CLIP_TO_DDE"
  kServerVersion = 28, // "[SER_VERSION"
  kServerHelp = 32767, // "[SERVERHELP"

  // Window commands: open a connector window, or run it without a user.
  kPassword = 2,        // "[PASSWORD"
  kSetup = 3,           // "[SETUP"
  kChart = 4,           // "[CHART"
  kDrillDown = 5,       // "[DRILLDOWN"
  kShowConnector = 8,   // sent by the server (its Topic menu, "[KovoSERVER")
  kDllHelp = 9,         // "[DLLHELP"
  kBudget = 13,         // "[BUDGET"
  kPeriodWizard = 14,   // "[PERIODW"
  kDllSetup = 15,       // "[DLLSETUP"
  kList = 19,           // "[KovoLIST"
  kDataPreload = 20,    // "[KovoDPL"
  kReset = 21,          // "[KovoRESET"
  kInquire = 22,        // "[INQUIRE" (and "[INQUIRE2", which its prefix takes)

  // The sheet account analysis around a recalculation.
  kStartCalc = 11,   // "[START_CALC"
  kFinishCalc = 12,  // "[FINISH_CALC"

  // Commands the server knows that this connector does not process.
  kReport = 10,      // "[REPORT"
  kCom1 = 16,        // "[KovoCOM1"
  kCom2 = 17,        // "[KovoCOM2"
  kCom3 = 18,        // "[KovoCOM3"
  kInquire2 = 39,    // "[INQUIRE2" (never reached: "[INQUIRE" matches first)

  // Value requests, answered in the result text.
  kGl = 100,
  kNgl = 102,
  kDesc = 103,
  kGlTran = 104,
  kGtTran = 105,
  kJcTran = 106,
  kSdesc = 114,
  kCodata = 115,
  kAcctData = 116,
  kVersion = 125,  // "KovoVERSION"
  kWgl = 126,
  kNotSupported = 127,

  // Request items the server knows that this connector does not process.
  kGtDesc = 107,
  kGtBudget = 108,
  kOd = 117,
  kCom1Item = 118,
  kCom2Item = 119,
  kCom3Item = 120,
  kListItem = 121,
  kDplItem = 122,
  kResetItem = 123,
  kJc = 124,
  kGlGroup = 128,
  kTopic = 130,
  kSystem = 132,
  kSetupSettings = 133,
  kControlDefs = 134,
  kSetupRna = 135,
  kSetupZl = 136,
  kSetupRo = 137,
  kSetupSc = 138,
  kSetupPeriod = 139,
  kSetupBudType = 140,
};

}  // namespace kovo::codes

namespace kovo {

// What KovoDLLInterface returns. Codes 114 to 116 return the number of the
// message their answer carries instead of kStatusNotProcessed.
enum InterfaceStatus : int {
  kStatusProcessed = 0,
  kStatusNotProcessed = 1,
  // The connector was busy with a fill, a budget write or a preload (or is
  // inside another call) and did not look at the request: the result holds
  // the busy message, whose number this is. Asking again later may succeed.
  kStatusBusy = 36,
};

}  // namespace kovo
