#include "helper/client/helper_command_channel.h"

#include <algorithm>
#include <utility>

#include "helper/client/helper_reply_outcome.h"

namespace quenfall {

namespace {

using helper::Outcome;
using helper::Reply;
using helper::Request;
using helper::RequestType;

class HelperChannel final : public DeviceChannel {
public:
    HelperChannel(std::shared_ptr<helper::HelperConnection> helper, std::string node, ErrorCodes codes,
                  RefusalAdviser advice)
        : helper_(std::move(helper)), node_(std::move(node)), codes_(codes), advice_(advice) {
        // Room for the largest request and reply, so that no command allocates.
        request_.Data.reserve(helper::MaxAnswerLength);
        reply_.Data.reserve(helper::MaxAnswerLength);
        reply_.Text.reserve(helper::MaxTextLength);
        reply_.Sense.reserve(MaxSenseLength);
    }

    CommandOutcome ScsiWrite(std::span<const std::uint8_t> data) override {
        request_.Type = RequestType::Write;
        request_.Data.assign(data.begin(), data.end());
        return Exchange();
    }

    CommandOutcome ScsiRead(std::span<std::uint8_t> buffer) override {
        std::fill(buffer.begin(), buffer.end(), std::uint8_t{0});
        request_.Type = RequestType::Read;
        request_.Data.clear();
        request_.ReadLength = static_cast<std::uint32_t>(buffer.size());
        const CommandOutcome outcome = Exchange();
        if (outcome.Result != CommandResult::ChannelGone && reply_.Result == Outcome::Done &&
            reply_.Data.size() == buffer.size()) {
            std::copy(reply_.Data.begin(), reply_.Data.end(), buffer.begin());
        }
        return outcome;
    }

    std::string RefusalAdvice(const CommandOutcome& outcome) const override { return advice_(node_, outcome.Error); }

private:
    CommandOutcome Exchange() {
        if (!helper_ || !helper_->ExchangeInto(request_, reply_)) {
            helper_.reset();
            return ChannelGoneOutcome();
        }
        return OutcomeOfHelperReply(reply_, codes_);
    }

    std::shared_ptr<helper::HelperConnection> helper_;
    std::string node_;
    ErrorCodes codes_;
    RefusalAdviser advice_;
    Request request_;
    Reply reply_;
};

}  // namespace

std::unique_ptr<DeviceChannel> MakeHelperChannel(std::shared_ptr<helper::HelperConnection> helper, std::string node,
                                                 ErrorCodes codes, RefusalAdviser advice) {
    return std::make_unique<HelperChannel>(std::move(helper), std::move(node), codes, advice);
}

}  // namespace quenfall
