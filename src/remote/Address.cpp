#include "remote/Address.h"

#include <QRegularExpression>

namespace remote {

namespace {
std::optional<quint16> ParsePort(const QString& text)
{
    static const QRegularExpression digits(QStringLiteral("^[0-9]{1,5}$"));
    if (!digits.match(text).hasMatch())
        return std::nullopt;
    const int port = text.toInt();
    if (port > 65535)
        return std::nullopt;
    return static_cast<quint16>(port);
}
}  // namespace

std::optional<TListenAddress> ParseListenAddress(const QString& text)
{
    TListenAddress result;
    QString portText = text;
    const qsizetype colon = text.lastIndexOf(QLatin1Char(':'));
    if (colon >= 0) {
        QString host = text.left(colon);
        portText = text.mid(colon + 1);
        if (host.startsWith(QLatin1Char('[')) && host.endsWith(QLatin1Char(']')))
            host = host.mid(1, host.size() - 2);
        else if (host.contains(QLatin1Char(':')))
            return std::nullopt;  // an IPv6 address needs its brackets
        if (host.compare(QLatin1String("localhost"), Qt::CaseInsensitive) == 0)
            result.Address = QHostAddress(QHostAddress::LocalHost);
        else if (!result.Address.setAddress(host))
            return std::nullopt;
        // Every address of the system: IPv6 and IPv4 clients alike.
        if (result.Address == QHostAddress(QHostAddress::AnyIPv6))
            result.Address = QHostAddress(QHostAddress::Any);
    }
    const auto port = ParsePort(portText);
    if (!port)
        return std::nullopt;
    result.Port = *port;
    return result;
}

std::optional<TNetwork> ParseNetwork(const QString& text)
{
    if (!text.contains(QLatin1Char('/'))) {
        QHostAddress host;
        if (!host.setAddress(text))
            return std::nullopt;
        return TNetwork(host, host.protocol() == QAbstractSocket::IPv4Protocol ? 32 : 128);
    }
    const TNetwork network = QHostAddress::parseSubnet(text);
    if (network.first.isNull() || network.second < 0)
        return std::nullopt;
    return network;
}

QHostAddress ClientAddress(const QHostAddress& peer)
{
    bool isV4 = false;
    const quint32 v4 = peer.toIPv4Address(&isV4);
    return isV4 ? QHostAddress(v4) : peer;
}

bool Allowed(const QList<TNetwork>& networks, const QHostAddress& peer)
{
    if (networks.isEmpty())
        return true;
    const QHostAddress address = ClientAddress(peer);
    for (const TNetwork& network : networks) {
        if (address.isInSubnet(network))
            return true;
    }
    return false;
}

QString EndpointText(const QHostAddress& address, quint16 port)
{
    if (address == QHostAddress(QHostAddress::Any))
        return QStringLiteral("[::]:%1").arg(port);
    const QHostAddress shown = ClientAddress(address);
    if (shown.protocol() == QAbstractSocket::IPv6Protocol)
        return QStringLiteral("[%1]:%2").arg(shown.toString()).arg(port);
    return QStringLiteral("%1:%2").arg(shown.toString()).arg(port);
}

}  // namespace remote
