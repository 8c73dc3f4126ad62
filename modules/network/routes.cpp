// Route table of the network module ("/7000"): interfaces, time, PPPoE and
// ports; network services; HTTPS certificates.
#include "frame/dispatchreq.h"
#include "modules/network/network_handlers.h"

namespace {

// The order of these rows is the table's order.
// clang-format off
constexpr Route kNetworkRoutes[] = {
    NVR_ROUTE("/7000", on_get_time_info, "Answers the clock and the time settings"),
    NVR_ROUTE("/7001", on_set_time_info, "Stores the time settings and applies them"),
    NVR_ROUTE("/7010", on_get_pppoe_info, "Answers the PPPoE settings and the current address"),
    NVR_ROUTE("/7011", on_set_pppoe_info, "Stores the PPPoE settings"),
    NVR_ROUTE("/7040", on_get_network_info,
        "Answers the settings of the network interfaces for a mode"),
    NVR_ROUTE("/7041", on_set_network_info, "Stores the settings of the network interfaces"),
    NVR_ROUTE("/7043", on_restart_network, "Restarts the network"),
    NVR_ROUTE("/7042", on_get_network_mode, "Answers the stored network mode as a number"),
    NVR_ROUTE("/7050", on_get_port_info, "Answers the service ports and the push settings"),
    NVR_ROUTE("/7093", on_get_poe_max, "Answers how many PoE ports the recorder has"),
    NVR_ROUTE("/7051", on_set_port_info,
        "Stores the service ports, refusing ports in use, and the push settings"),
    NVR_ROUTE("/7070", on_ip_conflict, "Asks the recorder whether an IPv4 address is in use"),
    NVR_ROUTE("/7071", on_ip_conflict_by_dev,
        "Asks whether an IPv4 address is in use on a named interface"),
    NVR_ROUTE("/7044", on_get_mac0, "Answers the MAC address of the first interface"),
    NVR_ROUTE("/7096", on_cgi_set_default_route, "Stores and applies the default route"),

    NVR_ROUTE("/7020", on_get_ddns_info, "Answers the dynamic DNS settings"),
    NVR_ROUTE("/7021", on_set_ddns_info, "Stores the dynamic DNS settings"),
    NVR_ROUTE("/7030", on_get_email_info, "Answers the e-mail settings"),
    NVR_ROUTE("/7031", on_set_email_info, "Stores the e-mail settings"),
    NVR_ROUTE("/7060", on_get_p2p_info, "Answers the state of the P2P service"),
    NVR_ROUTE("/7061", on_set_p2p_info, "Turns the P2P service on or off"),
    NVR_ROUTE("/7062", on_test_p2p, "Tests registration with the P2P server"),
    NVR_ROUTE("/7032", on_test_email, "Sends a test e-mail"),
    NVR_ROUTE("/7090", on_get_snmp_info, "Answers the SNMP settings and service ports"),
    NVR_ROUTE("/7091", on_set_snmp_info, "Stores the SNMP settings"),
    NVR_ROUTE("/7092", on_get_access_info, "Answers the channel access setting"),
    NVR_ROUTE("/7094", on_get_ddns_status, "Answers the state of dynamic DNS"),
    NVR_ROUTE("/7095", on_cgi_p2p_unbind_device, "Unbinds the recorder from its cloud account"),
    NVR_ROUTE("/7033", on_cgi_get_multicast, "Answers the multicast settings"),
    NVR_ROUTE("/7034", on_cgi_set_multicast, "Stores the multicast settings"),

    NVR_ROUTE("/7080", on_create_https_cert, "Creates an HTTPS certificate or signing request"),
    NVR_ROUTE("/7081", on_get_cert_info,
        "Answers the HTTPS switch and the installed certificate's subject"),
    NVR_ROUTE("/7082", on_download_cert_req, "Sends the certificate signing request as a file"),
    NVR_ROUTE("/7083", on_delete_cert_req, "Removes the certificate signing request"),
    NVR_ROUTE("/7084", on_install_cert, "Installs an uploaded HTTPS certificate", UploadKind::File),
    NVR_ROUTE("/7085", on_delete_cert,
        "Removes the certificate and request files and turns HTTPS off"),
    NVR_ROUTE("/7086", on_set_https_enable, "Turns HTTPS on or off"),
    NVR_ROUTE("/7087", on_get_https_enable, "Answers whether HTTPS is on"),
    NVR_ROUTE("/7089", on_get_cert_req_info, "Answers the certificate signing request's subject"),
};
// clang-format on
static_assert(std::size(kNetworkRoutes) == 39);

}  // namespace

std::span<const Route> network_route_table() { return kNetworkRoutes; }
