// Ctrl-C and SIGTERM as stop requests.  The handler only counts; the work
// polls the count between buffers and pieces.  A third request ends the
// program the usual way, for when it hangs on a dying device.
#pragma once

class StopSignals {
 public:
  static void install();
  // Requests received so far.
  static int count();
};
