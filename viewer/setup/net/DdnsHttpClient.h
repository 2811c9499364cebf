#pragma once

#include <QByteArray>
#include <QObject>
#include <QPointer>
#include <QTimer>
#include <QUrl>
#include <string>

#include "viewer/setup/DdnsLookup.h"

class QNetworkAccessManager;
class QNetworkReply;

namespace dvr::setup {

// The end of one lookup.
struct DdnsLookupOutcome {
    // The judged answer; for a failed transport `ok` is false and `message` the reason.
    LookupAnswer answer;
    // The lookup was cancelled; nothing is to be shown.
    bool cancelled = false;
    // The address that was requested (before any redirect).
    std::string url;
};

// A DDNS lookup over HTTP or HTTPS: one GET with "Accept: */*" and the lookup's agent text, through the
// system's proxy settings (never for loopback hosts), following at most three redirects that keep the
// scheme, reading at most 64 KiB of the body, and giving up after a time-out. Runs on the event loop of
// the thread that owns it; finished() is always emitted later, never inside start().
class DdnsHttpClient : public QObject {
    Q_OBJECT
public:
    static constexpr int kDefaultTimeoutMs = 10000;
    static constexpr int kMaxRedirects = 3;
    static constexpr qint64 kMaxBodyBytes = 64 * 1024;

    explicit DdnsHttpClient(QObject* parent = nullptr);
    ~DdnsHttpClient() override;

    // Time allowed for the whole lookup, redirects included.
    void setTimeoutMs(int timeoutMs) { m_timeoutMs = timeoutMs; }
    bool running() const { return m_running; }

    // Starts a lookup of `url` (a request address with its placeholders already replaced). A lookup
    // still running is cancelled first.
    void start(const std::string& url);
    // Ends a running lookup; finished() reports it as cancelled.
    void cancel();

    // Runs one lookup to its end on a local event loop (for the command line and tests).
    static DdnsLookupOutcome lookupBlocking(const std::string& url, int timeoutMs = kDefaultTimeoutMs);

Q_SIGNALS:
    void finished(const dvr::setup::DdnsLookupOutcome& outcome);

private:
    void request(const QUrl& url);
    void onReadyRead();
    void onReplyFinished();
    void onTimeout();
    void finish(LookupAnswer answer, bool cancelled = false);
    void finishWithError(const std::string& message);
    void dropReply();

    QNetworkAccessManager* m_manager = nullptr;
    QPointer<QNetworkReply> m_reply;
    QTimer m_timer;
    int m_timeoutMs = kDefaultTimeoutMs;
    bool m_running = false;
    bool m_bodyCut = false;
    int m_redirects = 0;
    QByteArray m_body;
    std::string m_url;
};

}  // namespace dvr::setup

Q_DECLARE_METATYPE(dvr::setup::DdnsLookupOutcome)
