#include "viewer/setup/net/DdnsCommand.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <algorithm>
#include <ostream>

#include "common/json/Json.h"
#include "viewer/setup/DdnsLookup.h"
#include "viewer/setup/net/DdnsHttpClient.h"

namespace dvr::setup {

int runDdnsCommand(const DdnsCommandOptions& options, std::ostream& out, std::ostream& err) {
    const std::string url = DdnsLookup::requestUrl(options.urlTemplate, options.memberId, options.name);
    const DdnsLookupOutcome outcome = DdnsHttpClient::lookupBlocking(url, options.timeoutMs);
    if (!outcome.answer.ok) {
        // The service's own words: line breaks become blanks, and other control bytes are shown, never
        // sent to the terminal (an answer could otherwise move the cursor or rewrite the screen).
        std::string message = outcome.answer.message;
        std::replace_if(
            message.begin(), message.end(), [](char c) { return c == '\r' || c == '\n'; }, ' ');
        err << lineText(message) << '\n';
        return 1;
    }
    if (options.json) {
        QJsonObject object;
        object.insert(QStringLiteral("address"), QString::fromStdString(outcome.answer.address));
        object.insert(QStringLiteral("port"), std::stoi(outcome.answer.port));
        object.insert(QStringLiteral("url"), QString::fromStdString(DdnsLookup::displayUrl(url)));
        out << QJsonDocument(object).toJson(QJsonDocument::Compact).toStdString() << '\n';
    } else {
        out << outcome.answer.address << ':' << outcome.answer.port << '\n';
    }
    return 0;
}

}  // namespace dvr::setup
