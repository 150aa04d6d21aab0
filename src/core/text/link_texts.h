// Memo and box texts of the two links to the gateway: the serial port and the TCP connection.
#pragma once

namespace orvio::link_text {

inline constexpr char kPortInUseCaption[] = "Connect to port";
inline constexpr char kPortInUse[] = "This serial port is already in use!";
inline constexpr char kSerialClosed[] = "Serial port for modbus closed";
inline constexpr char kTcpNotSet[] = "Remote IP and Port are not properly set...";
inline constexpr char kTcpConnecting[] = "Trying to connect to remote TCP server...";
inline constexpr char kTcpConnectedAt[] = "Connected TCP/IP, at ";                  // + time
inline constexpr char kTcpDisconnectedAt[] = "Disconnected TCP/IP connection at ";  // + time
inline constexpr char kSocketError[] = "Socket error #";                            // + errno
inline constexpr char kSocketException[] = "Exception socket - ";                   // + error

}  // namespace orvio::link_text
