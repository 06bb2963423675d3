#pragma once

namespace korvane {

// How raising the serial link to the fast rate ended (switchToFastLink).
enum class LinkSwitchResult {
    Switched,  // both ends run at the new rate
    // The link is unchanged:
    NoAnswer,     // "QX DLBD 02" got no answer
    Declined,     // the adapter answered without "OK"
    RateRefused,  // the channel refused the new rate
    // The link is back at the normal rate:
    NoAnnouncement,     // nothing came at the new rate
    WrongAnnouncement,  // a line came at the new rate, but not the adapter's announcement
    // The link stays at the new rate:
    ConfirmationNotSent,  // the CR that asks for confirmation could not be written
    NoConfirmation,       // no answer to that CR
    NotConfirmed,         // an answer without "OK"
};

}  // namespace korvane
