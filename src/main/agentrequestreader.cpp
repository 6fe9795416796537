#include "main/agentrequestreader.h"

#include <QJsonDocument>
#include <QJsonParseError>

AgentRead readAgentRequest(QByteArray& buffer, const QByteArray& incoming)
{
    AgentRead out;
    // The incoming bytes may hold the line feed that ends a line of exactly
    // the limit, so one byte more than the limit is still acceptable here.
    if (buffer.size() + incoming.size() > kAgentMaxLine + 1 && !buffer.contains('\n')) {
        out.kind = AgentRead::Oversize;
        return out;
    }
    buffer.append(incoming);
    // Lines are walked by offset: taking each off the front of the buffer
    // would move the rest of it once per line.
    qsizetype from = 0;
    qsizetype nl;
    while ((nl = buffer.indexOf('\n', from)) >= 0) {
        if (nl - from > kAgentMaxLine) {
            out.kind = AgentRead::Oversize;
            return out;
        }
        const QByteArray line = QByteArray::fromRawData(buffer.constData() + from, nl - from).trimmed();
        from = nl + 1;
        if (line.isEmpty())
            continue;
        QJsonParseError err {};
        const QJsonDocument doc = QJsonDocument::fromJson(line, &err);
        if (err.error == QJsonParseError::NoError && doc.isObject()) {
            out.kind = AgentRead::Request;
            out.request = doc.object();
        } else {
            out.kind = AgentRead::NotObject;
            out.line = QByteArray(line.constData(), qMin<qsizetype>(line.size(), 120));
        }
        return out;
    }
    buffer.remove(0, from);
    if (buffer.size() > kAgentMaxLine)
        out.kind = AgentRead::Oversize;
    return out;
}
