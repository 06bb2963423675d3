#pragma once

namespace korvane {

// How setting the ELM327 version that the adapter reports ended (adjustAtiVersion).
enum class AtiVersionResult {
    Set,              // the adapter confirmed the version
    UnknownModel,     // the model code names no model: nothing sent
    NoVersionLetter,  // the adapter's answer holds no version letter: nothing set
    VersionTooLong,   // the version text after the letter is too long: nothing set
    NotConfirmed,     // the setting command went out but was not confirmed
};

}  // namespace korvane
