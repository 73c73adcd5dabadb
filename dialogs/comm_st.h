#pragma once

#include <QString>

// How level frames reach the program: serial only, UDP server (serial in, broadcast out) or
// UDP client (UDP in). Ports are kept as the decimal text the operator typed.
struct comm_st
{
    bool is_server = false;
    bool use_udp = false;
    QString serialport;
    QString server_host;
    QString server_port;
    QString client_host;
    QString client_port;
};
