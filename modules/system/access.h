// Access filter, UPnP port mapping and camera address assignment.
#pragma once

void on_get_access_filter(char* data);
void on_set_access_filter(char* data);
void on_get_upnp_info(char* data);
void on_set_upnp_info(char* data);
void on_set_camera_ips(char* data);
