/* The client side of the input helper's pipe, for programs that send it input (the desktop
 * application, tarnu-input-send). Plain C, so that any language and any compiler can call it;
 * nothing here throws, and no C++ type crosses this interface.
 *
 * The worker of session N serves `\\.\pipe\tarnu-input-s<N>`. Pipe names are first come,
 * first served across the whole machine, so whoever creates that name while no worker holds
 * it (before the worker starts, while the service replaces it) receives what clients write.
 * tarnu_input_connect therefore opens the pipe at identification level, so that its server
 * can learn who the client is but cannot act as the client, and then checks who serves it:
 * the server process must run as the expected user (LocalSystem unless the caller names
 * another) and sit in the session whose pipe was opened. Nothing is written to a server that
 * fails the check.
 *
 * Typical use:
 *
 *   tarnu_input_client* client = NULL;
 *   tarnu_input_error error;
 *   if (tarnu_input_connect(TARNU_INPUT_OWN_SESSION, 2000, NULL, &client, &error) != 0) {
 *     report(error.message);   // e.g. retry later on TARNU_INPUT_ERROR_NO_PIPE or _BUSY
 *   } else {
 *     tarnu_input_send_command(client, payload, payload_size, &error);
 *     tarnu_input_close(client);
 *   }
 *
 * One client object is used by one thread at a time; separate objects are independent. The
 * worker serves one connection at a time: keep a connection only while there is input to
 * send, and do not open a second one from the same program. */
#ifndef TARNU_INPUT_CLIENT_H
#define TARNU_INPUT_CLIENT_H

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* Results. Every function that can fail returns one and, given an error record, fills it. */
enum {
  TARNU_INPUT_OK = 0,
  /* A null client, a payload outside 1..65536 bytes, a server user that is no SID. */
  TARNU_INPUT_ERROR_ARGUMENT = 1,
  /* No pipe of that session's name appeared within the wait: no worker serves the session
   * (yet). The service starts one when the session takes the console; try again later. */
  TARNU_INPUT_ERROR_NO_PIPE = 2,
  /* Another client held the pipe throughout the wait. */
  TARNU_INPUT_ERROR_BUSY = 3,
  /* The pipe's server is not, or could not be shown to be, the input helper of that session:
   * the connection was closed without writing anything. Do not retry at once; report it. */
  TARNU_INPUT_ERROR_SERVER_REFUSED = 4,
  /* The worker closed the connection (it stopped, or ended it after a bad length): connect
   * again. */
  TARNU_INPUT_ERROR_DISCONNECTED = 5,
  /* Any other failed Windows call; windows_error holds its code. */
  TARNU_INPUT_ERROR_SYSTEM = 6
};

/* Connect to the pipe of the session the calling process runs in. */
#define TARNU_INPUT_OWN_SESSION 0xFFFFFFFFu
/* The largest payload of one command; the smallest is 1 byte. */
#define TARNU_INPUT_MAX_PAYLOAD 65536u
/* The user the worker runs as: LocalSystem. */
#define TARNU_INPUT_LOCAL_SYSTEM_SID "S-1-5-18"

/* What went wrong, for a person: `message` is UTF-8, NUL-terminated, cut to fit. On success
 * code and windows_error are 0 and message is empty. */
typedef struct tarnu_input_error {
  int code;
  uint32_t windows_error;
  char message[512];
} tarnu_input_error;

/* An open, checked connection to a worker's pipe. */
typedef struct tarnu_input_client tarnu_input_client;

/* Opens the pipe of `session` (or TARNU_INPUT_OWN_SESSION), waiting up to
 * `wait_milliseconds` for a pipe that is not there yet or busy with another client (0: try
 * once), and checks its server: its process must run as `server_user_sid` (a SID as text,
 * "S-1-5-..."; NULL means TARNU_INPUT_LOCAL_SYSTEM_SID) and be in that session. On success
 * stores the client in `*client`; otherwise stores NULL. `error` may be NULL. */
int tarnu_input_connect(uint32_t session, uint32_t wait_milliseconds, const char* server_user_sid,
                        tarnu_input_client** client, tarnu_input_error* error);

/* Sends one command: the 4-byte little-endian length, then the MessagePack `payload` of
 * 1..TARNU_INPUT_MAX_PAYLOAD bytes. Returns once the pipe has taken all of it. */
int tarnu_input_send_command(tarnu_input_client* client, const uint8_t* payload, size_t size,
                             tarnu_input_error* error);

/* Writes `size` bytes exactly as given, without a length: for diagnostics that need frames
 * the worker must refuse. Writing nothing succeeds. */
int tarnu_input_write_raw(tarnu_input_client* client, const uint8_t* bytes, size_t size,
                          tarnu_input_error* error);

/* Returns once the worker has read everything written so far, or has gone away (then
 * TARNU_INPUT_ERROR_DISCONNECTED). Call it before closing when the last commands must not be
 * lost to the close. */
int tarnu_input_flush(tarnu_input_client* client, tarnu_input_error* error);

/* The session whose pipe the client is connected to. */
uint32_t tarnu_input_client_session(const tarnu_input_client* client);

/* Closes the connection and frees the client. A null client is ignored. */
void tarnu_input_close(tarnu_input_client* client);

#ifdef __cplusplus
}
#endif

#endif /* TARNU_INPUT_CLIENT_H */
