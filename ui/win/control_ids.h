#pragma once

#include "ui/win/win_api.h"

namespace korvane {

// Identifiers of the windows' controls and commands.
enum ControlId : int {
    kIdTypeFrame = 1000,
    kIdBt,
    kIdUsb,
    kIdWifi,
    kIdPortFrame,
    kIdFirmwareFrame,
    kIdPathLabel,
    kIdPath,
    kIdBrowse,
    kIdUpdate,
    kIdOutputFrame,
    kIdOutput,
    kIdClear,
    kIdProgress,
    kIdRead,

    kIdNameLabel = 1100,
    kIdPortList,
    kIdBaudLabel,
    kIdBaudList,
    kIdRefresh,
    kIdFind,

    kIdAddressLabel = 1200,
    kIdAddress,
    kIdPortLabel,
    kIdPortBox,
    kIdWifiFind,

    kIdAboutIcon = 1300,
    kIdAboutName,
    kIdAboutNotice,

    kIdHistoryList = 1400,
    kIdHistoryNote,
};

// The About entry's command in the window's system menu (its low four bits clear, as system
// commands need).
inline constexpr UINT kAboutCommand = 16;
// The update history's entry beside it.
inline constexpr UINT kHistoryCommand = 32;
// The application icon and the About entry's text among the program's resources.
inline constexpr int kIconResource = 128;
inline constexpr int kAboutEntryString = 101;

}  // namespace korvane
