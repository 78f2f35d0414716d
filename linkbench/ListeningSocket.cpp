#include "ListeningSocket.h"

void ListeningSocket::incomingConnection(qintptr requestID)
{
    emit connectionRequest(requestID);
}
