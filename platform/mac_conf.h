// The recorder's factory MAC address.
#pragma once

// The factory MAC text (twelve hex digits, as programmed at the factory, from
// the device file "/mnt/nand2/mac.conf", first line, blanks trimmed) into
// buffer[size], cut and NUL-terminated. 0 when the file holds one; -1 when it
// cannot be read, with the text of the first interface's fallback address
// ("027F4D0A19C8") so that callers always have a name to show.
int read_mac_conf(char* buffer, int size);
