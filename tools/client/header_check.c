/* Compiled as C in both trees, so that the client library's header stays plain C. */
#include "client/tarnu_input_client.h"
