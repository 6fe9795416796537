#pragma once

#include <QByteArray>
#include <QJsonObject>

// The request reader of the agent socket, apart from any socket: bytes in,
// at most one decision out. A request is one JSON object on one line of at
// most kAgentMaxLine bytes before its line feed; blank lines are skipped.
constexpr qsizetype kAgentMaxLine = 1048576;

struct AgentRead {
    enum Kind {
        NeedMore,  // no complete non-blank line yet; `buffer` holds the rest
        Request,   // `request` holds the first line's object
        NotObject, // the first line is no JSON object; `line` is its start
        Oversize,  // a line, or the unterminated data, exceeds the limit
    };
    Kind kind = NeedMore;
    QJsonObject request;
    QByteArray line; // the offending line's first 120 bytes (NotObject)
};

// Adds `incoming` to what the connection has buffered and decides on the
// first non-blank line. Data that is already over the limit and holds no
// line feed is refused before it is added, even when `incoming` would end
// the line early. After NeedMore `buffer` holds at most kAgentMaxLine bytes
// and no line feed; after any other result its content is undefined.
AgentRead readAgentRequest(QByteArray& buffer, const QByteArray& incoming);
