#include "link/linux/linux_command_channel.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <optional>
#include <utility>

namespace quenfall {

namespace {

using helper::Outcome;
using helper::Reply;
using helper::Request;
using helper::RequestType;

class HelperDeviceChannel final : public DeviceChannel {
public:
    HelperDeviceChannel(std::unique_ptr<helper::HelperConnection> helper, std::string node)
        : helper_(std::move(helper)), node_(std::move(node)) {}

    // The outcome of each command is dropped on purpose, as with any drive: the radio's
    // answer is judged only by validating the bytes read back. Only an outright refusal by
    // the system is kept, for Refusal().
    void ScsiWrite(std::span<const std::uint8_t> data) override {
        Request request;
        request.Type = RequestType::Write;
        request.Data.assign(data.begin(), data.end());
        (void)Exchange(request);
    }

    void ScsiRead(std::span<std::uint8_t> buffer) override {
        std::fill(buffer.begin(), buffer.end(), std::uint8_t{0});
        Request request;
        request.Type = RequestType::Read;
        request.ReadLength = static_cast<std::uint32_t>(buffer.size());
        const auto reply = Exchange(request);
        if (reply && reply->Result == Outcome::Done && reply->Data.size() == buffer.size()) {
            std::copy(reply->Data.begin(), reply->Data.end(), buffer.begin());
        }
    }

    std::string Refusal() const override { return refusal_; }

private:
    std::optional<Reply> Exchange(const Request& request) {
        if (!helper_) return std::nullopt;
        auto reply = helper_->Exchange(request);
        if (!reply) {
            helper_.reset();
        } else if (reply->Result == Outcome::SystemError &&
                   (reply->Error == EPERM || reply->Error == EACCES) && refusal_.empty()) {
            refusal_ = CommandRefusedAdvice(node_, reply->Error);
        }
        return reply;
    }

    std::unique_ptr<helper::HelperConnection> helper_;
    std::string node_;
    std::string refusal_;
};

}  // namespace

std::unique_ptr<DeviceChannel> MakeHelperCommandChannel(std::unique_ptr<helper::HelperConnection> helper,
                                                        std::string node) {
    return std::make_unique<HelperDeviceChannel>(std::move(helper), std::move(node));
}

std::string CommandRefusedAdvice(const std::string& node, int error) {
    return "The system refused the radio's commands on " + node + " (" + std::strerror(error) +
           "), although the radio helper could open it. This happens inside a container or "
           "another user namespace, where the raw I/O capability does not count, or under a "
           "security policy that forbids these commands: run Quenfall directly on the "
           "computer the radio is connected to.";
}

}  // namespace quenfall
