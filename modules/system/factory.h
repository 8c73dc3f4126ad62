// Factory option route "/vb.htm".
#pragma once

void on_http_option(char* data);
