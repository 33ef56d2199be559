#pragma once
// libjpeg's errors as a reason instead of an exit: error_exit formats its message and jumps back to the
// setjmp of the caller, warnings are kept quiet (noting only the data's early end, where libjpeg pretends an
// end-of-image marker). Whatever runs between the setjmp and the jump owns nothing with a destructor.

#include <csetjmp>
#include <cstdio>

#include <jpeglib.h>
#include <jerror.h>

namespace brisel::filehost {

struct JpegFailure {
  jpeg_error_mgr manager;  // first: libjpeg hands back its address as the error manager's
  std::jmp_buf back;
  char text[JMSG_LENGTH_MAX] = {};
  bool endedEarly = false;  // the data ended before the end-of-image marker

  // The error manager for a libjpeg object, to set as its err before it is created.
  jpeg_error_mgr* Manager() {
    jpeg_std_error(&manager);
    manager.error_exit = [](j_common_ptr info) {
      auto* failure = reinterpret_cast<JpegFailure*>(info->err);
      info->err->format_message(info, failure->text);
      std::longjmp(failure->back, 1);
    };
    manager.emit_message = [](j_common_ptr info, int level) {
      if (level < 0 && info->err->msg_code == JWRN_JPEG_EOF) reinterpret_cast<JpegFailure*>(info->err)->endedEarly = true;
    };
    manager.output_message = [](j_common_ptr) {};
    return &manager;
  }
};

}  // namespace brisel::filehost
