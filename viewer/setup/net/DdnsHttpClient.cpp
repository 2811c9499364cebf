#include "viewer/setup/net/DdnsHttpClient.h"

#include <QEventLoop>
#include <QHostAddress>
#include <QNetworkAccessManager>
#include <QNetworkProxyFactory>
#include <QNetworkReply>
#include <QNetworkRequest>

namespace dvr::setup {

namespace {

// The system's proxy settings, except for loopback hosts, which are always reached directly.
class LookupProxyFactory : public QNetworkProxyFactory {
public:
    QList<QNetworkProxy> queryProxy(const QNetworkProxyQuery& query) override {
        const QString host = query.peerHostName();
        const QHostAddress address(host);
        if (host.compare(QLatin1String("localhost"), Qt::CaseInsensitive) == 0 ||
            (!address.isNull() && address.isLoopback())) {
            return {QNetworkProxy(QNetworkProxy::NoProxy)};
        }
        return systemProxyForQuery(query);
    }
};

std::string toStd(const QString& text) {
    return text.toUtf8().toStdString();
}

}  // namespace

DdnsHttpClient::DdnsHttpClient(QObject* parent)
    : QObject(parent), m_manager(new QNetworkAccessManager(this)) {
    qRegisterMetaType<DdnsLookupOutcome>();
    m_manager->setProxyFactory(new LookupProxyFactory);
    m_manager->setAutoDeleteReplies(false);
    m_timer.setSingleShot(true);
    connect(&m_timer, &QTimer::timeout, this, &DdnsHttpClient::onTimeout);
}

DdnsHttpClient::~DdnsHttpClient() {
    dropReply();
}

void DdnsHttpClient::start(const std::string& url) {
    if (m_running) {
        cancel();
    }
    m_running = true;
    m_url = url;
    m_redirects = 0;
    UrlError error;
    const auto parts = DdnsLookup::splitUrl(url, &error);
    if (!parts) {
        finishWithError(error.message);
        return;
    }
    if (parts->scheme == UrlScheme::Ftp) {
        finishWithError("FTP is not supported for DDNS lookups: " + DdnsLookup::displayUrl(url));
        return;
    }
    QUrl target;
    target.setScheme(QString::fromStdString(parts->schemeText));
    target.setUserName(QString::fromStdString(parts->user));
    target.setPassword(QString::fromStdString(parts->password));
    target.setHost(QString::fromStdString(parts->host));
    target.setPort(parts->port);
    const std::size_t query = parts->path.find('?');
    target.setPath(QString::fromStdString(parts->path.substr(0, query)), QUrl::TolerantMode);
    if (query != std::string::npos) {
        target.setQuery(QString::fromStdString(parts->path.substr(query + 1)), QUrl::TolerantMode);
    }
    if (!target.isValid()) {
        finishWithError("Bad DDNS address " + DdnsLookup::displayUrl(url) + ": " +
                        toStd(target.errorString()));
        return;
    }
    m_timer.start(m_timeoutMs);
    request(target);
}

void DdnsHttpClient::request(const QUrl& url) {
    dropReply();
    m_body.clear();
    m_bodyCut = false;
    QNetworkRequest request(url);
    request.setRawHeader("Accept", "*/*");
    request.setHeader(QNetworkRequest::UserAgentHeader, QByteArray(DdnsLookup::kAgent));
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::ManualRedirectPolicy);
    request.setAttribute(QNetworkRequest::CacheLoadControlAttribute, QNetworkRequest::AlwaysNetwork);
    request.setAttribute(QNetworkRequest::CacheSaveControlAttribute, false);
    request.setAttribute(QNetworkRequest::Http2AllowedAttribute, false);
    m_reply = m_manager->get(request);
    connect(m_reply, &QNetworkReply::readyRead, this, &DdnsHttpClient::onReadyRead);
    connect(m_reply, &QNetworkReply::finished, this, &DdnsHttpClient::onReplyFinished);
}

void DdnsHttpClient::onReadyRead() {
    if (!m_reply || m_bodyCut) {
        return;
    }
    const QByteArray chunk = m_reply->read(kMaxBodyBytes - m_body.size() + 1);
    m_body += chunk;
    if (m_body.size() > kMaxBodyBytes) {
        // Enough: the answer is judged on its first 64 KiB, the rest is never fetched.
        m_body.truncate(kMaxBodyBytes);
        m_bodyCut = true;
        QNetworkReply* reply = m_reply;
        reply->disconnect(this);
        reply->abort();
        onReplyFinished();
    }
}

void DdnsHttpClient::onReplyFinished() {
    if (!m_reply || !m_running) {
        return;
    }
    QNetworkReply* reply = m_reply;
    if (!m_bodyCut) {
        m_body += reply->read(kMaxBodyBytes - m_body.size());
    }
    const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    if (!m_bodyCut && status >= 300 && status < 400 && reply->hasRawHeader("Location")) {
        const QUrl from = reply->url();
        const QUrl to = from.resolved(QUrl::fromEncoded(reply->rawHeader("Location")));
        if (to.scheme().compare(from.scheme(), Qt::CaseInsensitive) != 0) {
            finishWithError("Redirect from " + toStd(from.toDisplayString(QUrl::RemoveUserInfo)) +
                            " to another scheme refused: " + toStd(to.toDisplayString(QUrl::RemoveUserInfo)));
            return;
        }
        if (++m_redirects > kMaxRedirects) {
            finishWithError("Too many redirects from " + DdnsLookup::displayUrl(m_url));
            return;
        }
        request(to);
        return;
    }
    if (!m_bodyCut && reply->error() != QNetworkReply::NoError && status < 300) {
        finishWithError(toStd(reply->errorString()));
        return;
    }
    if (status >= 400 || (status >= 300 && status < 400)) {
        // The service's own words when it sent any, else the status line.
        LookupAnswer answer = DdnsLookup::judgeAnswer(std::string_view(m_body.constData(), m_body.size()));
        if (DdnsLookup::trim(std::string_view(m_body.constData(), m_body.size())).empty()) {
            answer.message = "HTTP " + std::to_string(status) + " " +
                             toStd(reply->attribute(QNetworkRequest::HttpReasonPhraseAttribute).toString());
        } else if (answer.ok) {
            answer = LookupAnswer{
                false, {}, {}, "HTTP " + std::to_string(status) + ": " + answer.address + ":" + answer.port};
        }
        finish(std::move(answer));
        return;
    }
    finish(DdnsLookup::judgeAnswer(std::string_view(m_body.constData(), m_body.size())));
}

void DdnsHttpClient::onTimeout() {
    if (m_running) {
        finishWithError("No answer from the DDNS service within " +
                        std::to_string((m_timeoutMs + 999) / 1000) + " s: " + DdnsLookup::displayUrl(m_url));
    }
}

void DdnsHttpClient::cancel() {
    if (m_running) {
        finish(LookupAnswer{false, {}, {}, "Cancelled"}, true);
    }
}

void DdnsHttpClient::finishWithError(const std::string& message) {
    finish(LookupAnswer{false, {}, {}, message});
}

void DdnsHttpClient::finish(LookupAnswer answer, bool cancelled) {
    m_timer.stop();
    dropReply();
    m_running = false;
    // No message, however it came about (the network layer's own texts name the URL), and no URL
    // handed on shows the user and password of the address.
    answer.message = DdnsLookup::hideCredentials(answer.message, m_url);
    DdnsLookupOutcome outcome{std::move(answer), cancelled, DdnsLookup::displayUrl(m_url)};
    // Always from the event loop, so a caller of start() never sees its answer before start() returns.
    QMetaObject::invokeMethod(
        this, [this, outcome] { Q_EMIT finished(outcome); }, Qt::QueuedConnection);
}

void DdnsHttpClient::dropReply() {
    if (m_reply) {
        QNetworkReply* reply = m_reply;
        m_reply = nullptr;
        reply->disconnect(this);
        reply->abort();
        reply->deleteLater();
    }
}

DdnsLookupOutcome DdnsHttpClient::lookupBlocking(const std::string& url, int timeoutMs) {
    DdnsHttpClient client;
    client.setTimeoutMs(timeoutMs);
    DdnsLookupOutcome result;
    QEventLoop loop;
    connect(&client, &DdnsHttpClient::finished, &loop, [&](const DdnsLookupOutcome& outcome) {
        result = outcome;
        loop.quit();
    });
    client.start(url);
    loop.exec();
    return result;
}

}  // namespace dvr::setup
