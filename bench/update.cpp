// The update check's own cost: the four rows of a settings window asked one
// after the other against a server on the loopback (plain http and https with
// a CA made at start), and how long a stop takes to end a request that a
// silent server would hold for ever. Goals: four rows under 50 ms wall, a stop
// under 100 ms.
#include "support/LocalHttpServer.h"
#include "support/ScratchFolder.h"
#include "update/UpdateCheck.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <future>
#include <memory>

namespace {

using velkor::test::LocalHttpServer;

std::vector<velkor::UpdateItem> FourRows() {
    std::vector<velkor::UpdateItem> rows;
    for (int i = 0; i < 4; ++i) {
        velkor::UpdateItem item;
        item.type = i == 3 ? 0 : 1;
        item.keyNumber = uint32_t(i + 1);
        item.version = 0x0100 + uint32_t(i);
        item.vendor = "VELKOR";
        item.productCode = "P" + std::to_string(i);
        item.productKind = "kind";
        item.displayName = "ROW" + std::to_string(i);
        rows.push_back(item);
    }
    return rows;
}

void Serve(LocalHttpServer& server) {
    server.Routes().Post("/api/updates", [](const httplib::Request&, httplib::Response& response) {
        response.set_content(R"({"version":"200","version_name":"2.0","path":"https://127.0.0.1/p"})",
                             "application/json");
    });
}

void RunChecks(benchmark::State& state, LocalHttpServer& server, const std::string& caFile) {
    if (!server.Start()) {
        state.SkipWithError("no server");
        return;
    }
    const std::vector<velkor::UpdateItem> rows = FourRows();
    velkor::HttpClient client({.caFile = caFile});
    for (auto _ : state) {
        for (const velkor::UpdateItem& row : rows) {
            const velkor::UpdateResult result = velkor::CheckForUpdate(client, server.Url("/api/"), row);
            if (result.failed) {
                state.SkipWithError(result.why.c_str());
                return;
            }
        }
    }
}

void BM_UpdateCheck_http(benchmark::State& state) {
    LocalHttpServer server;
    Serve(server);
    RunChecks(state, server, {});
}
BENCHMARK(BM_UpdateCheck_http)->Name("BM_UpdateCheck/http")->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_UpdateCheck_https(benchmark::State& state) {
    velkor::test::ScratchFolder folder("velkor_bench_update_");
    velkor::test::TestCertificates certs(folder.Path());
    if (!certs.Ok()) {
        state.SkipWithError("openssl could not make the certificates");
        return;
    }
    LocalHttpServer server(certs.serverCert, certs.serverKey);
    Serve(server);
    RunChecks(state, server, certs.caFile);
}
BENCHMARK(BM_UpdateCheck_https)->Name("BM_UpdateCheck/https")->Unit(benchmark::kMillisecond)->UseRealTime();

// From Stop() to the request's return, with the request waiting on a server that never answers.
void BM_StopSilentServer(benchmark::State& state) {
    velkor::test::SilentListener silent;
    const std::string url = "http://127.0.0.1:" + std::to_string(silent.Port()) + "/";
    for (auto _ : state) {
        velkor::HttpClient client;
        std::vector<uint8_t> buffer(64);
        auto request = std::async(std::launch::async, [&] { return client.Request("GET", url, {}, buffer); });
        state.PauseTiming();
        std::this_thread::sleep_for(std::chrono::milliseconds(50)); // the request is sent and waits
        state.ResumeTiming();
        client.Stop();
        request.get();
    }
}
BENCHMARK(BM_StopSilentServer)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(20);

} // namespace

BENCHMARK_MAIN();
