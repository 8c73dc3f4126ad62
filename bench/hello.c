/* The floor for a CGI run: a static C program that writes one answer. */
#include <stdio.h>

int main(void) {
  fputs("Content-type: text/plain\r\n\r\nNG download", stdout);
  return 0;
}
