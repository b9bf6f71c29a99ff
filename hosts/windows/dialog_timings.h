// Timings of the shipped dialog on a large photograph; prints them and returns the exit code.
#pragma once

namespace host {

int runDialogTimings(int width, int height);

}  // namespace host
