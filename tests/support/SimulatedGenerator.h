// A simulated generator served on a pseudo-terminal that a port folder lists
// as COM<n>, for the tests and benchmarks that run the program against it.
#pragma once

#include "PtyServer.h"

#include <QDir>
#include <QString>

#include <memory>
#include <utility>

// Serves Generator on a new pseudo-terminal linked as COM<Port> in
// PortFolder; the generator answers until the server is stopped or
// destroyed.
inline std::unique_ptr<jt6400sim::PtyServer> ServeGenerator(const QString& portFolder, int port,
                                                            jt6400sim::Generator generator,
                                                            jt6400sim::ServerOptions options = {})
{
    options.linkPath = QDir(portFolder).filePath(QStringLiteral("COM%1").arg(port)).toStdString();
    auto server = std::make_unique<jt6400sim::PtyServer>(std::move(generator), options);
    server->start();
    return server;
}
