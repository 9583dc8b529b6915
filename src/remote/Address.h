// The texts that name where the server listens ("[ADDR:]PORT") and which
// client networks it accepts ("192.168.1.0/24").
#pragma once

#include <QHostAddress>
#include <QList>
#include <QPair>
#include <QString>

#include <optional>

namespace remote {

constexpr quint16 kDefaultPort = 5025;

struct TListenAddress {
    QHostAddress Address{QHostAddress::LocalHost};
    quint16 Port = kDefaultPort;
    bool operator==(const TListenAddress&) const = default;
};

// "5025", "0.0.0.0:5025", "192.168.1.7:5025", "[::1]:5025", "localhost:5025"
// (127.0.0.1), "[::]:5025" (every address, IPv6 and IPv4); an address alone
// is not accepted, the port is. Without an address: 127.0.0.1.
// Port 0 lets the system choose one. nullopt for anything else.
std::optional<TListenAddress> ParseListenAddress(const QString& text);

using TNetwork = QPair<QHostAddress, int>;
// "192.168.1.0/24", "10.0.0.7" (one host), "fd00::/8"; nullopt otherwise.
std::optional<TNetwork> ParseNetwork(const QString& text);

// A client's address as the allow-list sees it: an IPv4 address that came
// as IPv6 (::ffff:a.b.c.d) counts as IPv4.
QHostAddress ClientAddress(const QHostAddress& peer);
bool Allowed(const QList<TNetwork>& networks, const QHostAddress& peer);

// "127.0.0.1:5025", "[::1]:5025".
QString EndpointText(const QHostAddress& address, quint16 port);

}  // namespace remote
