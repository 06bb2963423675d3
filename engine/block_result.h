#pragma once

namespace korvane {

// How a step of the family-1 block download ended (engine/block_download.h).
enum class BlockResult {
    Accepted,     // the record was taken; "QXDLED" was taken; every record went out and was closed
    Stopped,      // the stop request ended the download before the next record
    NotAccepted,  // three tries without acceptance
    // An answer nobody waited for came (see ExactlyOnce): the adapter may hold a record twice.
    StrayAnswer,
    DataRefused,    // the adapter refused the record's data ("ERR02" in application mode)
    RecordTooLong,  // the record text is longer than a record can be: nothing sent
    RecordDamaged,  // a record of the file lacks its data or its checksum: nothing sent
    // The answer held "OK\r", but its exchange then broke off (no byte in time, or too long).
    AnswerBrokenOff,
    EndNotAccepted,  // the download could not be closed: "QXDLED" was not taken
};

}  // namespace korvane
