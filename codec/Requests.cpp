#include "codec/Requests.h"

#include "codec/Frames.h"
#include "codec/HexBytes.h"
#include "codec/TextNumber.h"

std::vector<std::uint8_t> BuildWriteMultipleFromText(std::string_view deviceAddr, std::string_view firstReg,
                                                     std::string_view quantity, std::string_view data)
{
    const int n = ParseDecimal(quantity);
    if (n < 0 || n > request::kMaxWriteMultipleQuantity)
        return {};
    const std::vector<std::string> tokens = SplitBlankTokens(data);
    std::vector<int> values;
    values.reserve(static_cast<std::size_t>(n));
    for (std::size_t i = 0; i < tokens.size() && i < static_cast<std::size_t>(n); ++i)
        values.push_back(static_cast<int>(ParseHex(tokens[i]) & 0xFFu));
    return BuildWriteMultipleFrame(ParseDecimal(deviceAddr), ParseDecimal(firstReg), n, values);
}

bool IsBatchRangeListable(int start, int end)
{
    const long long count = static_cast<long long>(end) - start + 1;
    return count >= 1 && count <= request::kMaxBatchLines;
}

std::string BatchFrameLines(int deviceAddr, int command, BatchKind kind, int start, int end)
{
    std::string text;
    if (!IsBatchRangeListable(start, end))
        return text;
    for (long long k = start; k <= end; ++k) {
        const int segment = static_cast<int>(k);
        if (kind == BatchKind::Modbus) {
            const RtuRequest f = BuildWriteRegisterFrame(deviceAddr, command, segment);
            text += FormatHexBytes(f.data(), static_cast<int>(f.size()));
        } else {
            const PlainFrame f = BuildPlainFrame(deviceAddr, command, segment);
            text += FormatHexBytes(f.data(), static_cast<int>(f.size()));
        }
        text += "\r\n";
    }
    return text;
}
