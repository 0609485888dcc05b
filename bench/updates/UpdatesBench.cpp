// SPDX-License-Identifier: MIT
#include "Appcast.h"
#include "Ed25519Verifier.h"
#include "LocalHttpServer.h"
#include "TestSigningKey.h"
#include "UpdateNetwork.h"

#include <QEventLoop>
#include <QTemporaryFile>
#include <benchmark/benchmark.h>

namespace {

// A feed of `count` releases, as a project with a long history has.
QByteArray feed(int count) {
    QByteArray items;
    for (int release = 0; release < count; ++release) {
        const QByteArray version = "1." + QByteArray::number(release);
        items += "<item><title>Veltrane " + version + "</title><sparkle:version>" + version +
                 "</sparkle:version><description><![CDATA[<ul><li>Fixes</li></ul>]]></description>"
                 "<pubDate>Mon, 07 Dec 2026 10:00:00 +0000</pubDate><enclosure url=\"https://"
                 "example.org/" +
                 version +
                 ".deb\" length=\"8200000\" type=\"application/vnd.debian.binary-package\" "
                 "sparkle:edSignature=\"" +
                 QByteArray(88, 'A') + "\"/></item>\n";
    }
    return "<rss xmlns:sparkle=\"http://www.andymatuschak.org/xml-namespaces/sparkle\"><channel>" +
           items + "</channel></rss>";
}

// Fetch, parse and choose, as a check does, against a loopback server.
void checkLocalFeed(benchmark::State& state) {
    LocalHttpServer server;
    server.serve(QStringLiteral("/appcast.xml"), {feed(static_cast<int>(state.range(0)))});
    UpdateNetwork network(std::chrono::seconds(5), true);
    for (auto _ : state) {
        QEventLoop loop;
        std::optional<AppcastItem> found;
        network.fetch(server.url(QStringLiteral("/appcast.xml")), 4 << 20,
                      [&](std::optional<QString>, const UpdateNetwork::Document& document) {
                          found = Appcast::parse(document.body).newestApplicableItem(u"1.0", u"");
                          loop.quit();
                      });
        loop.exec();
        benchmark::DoNotOptimize(found);
    }
}
BENCHMARK(checkLocalFeed)->Arg(10)->Arg(200)->Unit(benchmark::kMillisecond);

void verifyPackage(benchmark::State& state) {
    const TestSigningKey key;
    QByteArray package(static_cast<qsizetype>(state.range(0)) << 20, 'x');
    const QByteArray signature = key.sign(package);
    QTemporaryFile file;
    file.open();
    file.write(package);
    file.flush();
    const Ed25519Verifier verifier(key.publicKey());
    for (auto _ : state) {
        if (!verifier.verifyFile(file.fileName(), signature)) {
            state.SkipWithError("signature refused");
        }
    }
    state.SetBytesProcessed(state.iterations() * package.size());
}
BENCHMARK(verifyPackage)->Arg(8)->Arg(50)->Unit(benchmark::kMillisecond);

} // namespace
