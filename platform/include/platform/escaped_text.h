// Text as a message may show it, and a stream for such messages: control
// bytes (below 0x20, and 0x7F) as \xHH, so that no input (a file name, an
// input line, an argument) reaches the terminal that reads the message as a
// command to it.
#ifndef PLATFORM_ESCAPED_TEXT_H
#define PLATFORM_ESCAPED_TEXT_H

#include <ostream>
#include <string>
#include <string_view>

namespace platform {

bool is_control(char c);

std::string escape_controls(std::string_view text);

// From this call on, `stream` escapes every control byte it is given, a
// newline included, but the line end of each message: a newline that is
// the last byte of one write. So each message must go to the stream as one
// write (as fmt::print does), and a newline in the text it shows cannot
// start a line of its own. Call once, first in main.
void escape_messages(std::ostream& stream);

}  // namespace platform

#endif
