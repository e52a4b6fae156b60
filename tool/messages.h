// The command's messages on standard error show the control bytes of what
// they repeat (a file name, an input line, an argument) escaped, wherever
// the text came from; only the line end of each message stays itself.
#ifndef LJUNGCV_MESSAGES_H
#define LJUNGCV_MESSAGES_H

namespace ljungcv {

// Call first in main: std::cerr escapes from then on.
void escape_messages();

}  // namespace ljungcv

#endif
