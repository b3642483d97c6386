// Results of every operation that talks to the unit. Non-zero values are passed on unchanged.
#pragma once

constexpr int resultSuccess = 0;
constexpr int resultNoUnit = -1;            // no unit open, or a request refused before sending
constexpr int resultWriteFailed = -2;       // the output report could not be written; nothing was read
constexpr int resultReadFailed = -3;        // the input report could not be read
constexpr int resultNoMatchingUnit = -4;    // openDevice walked every HID interface without a match
constexpr int resultNotConfirmed = 1627;    // the unit did not confirm the lock or the lifted protection
                                            // (the value of ERROR_FUNCTION_FAILED)
