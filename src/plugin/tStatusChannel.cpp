#include "plugin/tStatusChannel.h"

#include <kalvor/status_channel.h>

#include <utility>

#include "plugin/uStatusAnswer.h"
#include "plugin/uStatusRequest.h"

tStatusChannel::tStatusChannel(const std::string& pluginName, const std::string& logsFolder,
                               tGather gather)
    : Endpoint(pluginName, logsFolder), Gather(std::move(gather)) {
  Thread = std::thread([this] { Serve(); });
}

tStatusChannel::~tStatusChannel() {
  Endpoint.Stop();
  if (Thread.joinable()) Thread.join();
}

void tStatusChannel::Serve() noexcept {
  for (;;) {
    try {
      const std::unique_ptr<tStatusConnection> client = Endpoint.Accept();
      if (!client) return;
      Answer(*client);
    } catch (...) {
      // Out of memory for one answer: the next client is served afresh.
    }
  }
}

void tStatusChannel::Answer(tStatusConnection& client) {
  const auto readBy = std::chrono::steady_clock::now() + ClientPatience;
  const tStatusRequest request = ParseStatusRequest(
      client.ReadRequest(KALVOR_STATUS_REQUEST_LIMIT, readBy), KALVOR_STATUS_REQUEST_LIMIT);
  std::string answer = PlainAnswer(request);
  if (request.Kind == tStatusRequestKind::Text) answer = StatusText(Gather());
  if (request.Kind == tStatusRequestKind::Json) answer = StatusJson(Gather());
  if (answer.empty()) return;
  client.WriteAnswer(answer, std::chrono::steady_clock::now() + ClientPatience);
}
