/* A programme-like source for the peer meter in perf.sh: pink noise (Paul Kellet's filter over
 * white noise) on N output ports of a JACK client, each port its own noise, with a slow level
 * swell so that the peer's bars move all the time, as the meters' own feed does. It connects
 * its ports to the given input ports in order and runs until it is signalled.
 *
 *   jacknoise CHANNELS [INPUT-PORT...]
 *
 * The server is the one JACK_DEFAULT_SERVER names. */
#include <jack/jack.h>

#include <math.h>
#include <signal.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <unistd.h>

#define MAX_CHANNELS 16

static jack_client_t *client;
static jack_port_t *ports[MAX_CHANNELS];
static int channels;
static volatile sig_atomic_t done;
static float rate = 48000.0f;
static uint64_t frames_done;

struct pink {
    uint32_t seed;
    float b0, b1, b2, b3, b4, b5, b6;
};
static struct pink noise[MAX_CHANNELS];

static float white(struct pink *p)
{
    p->seed = p->seed * 1664525u + 1013904223u;
    return (float)(int32_t)p->seed * (1.0f / 2147483648.0f);
}

static float pink_next(struct pink *p)
{
    const float w = white(p);
    p->b0 = 0.99886f * p->b0 + w * 0.0555179f;
    p->b1 = 0.99332f * p->b1 + w * 0.0750759f;
    p->b2 = 0.96900f * p->b2 + w * 0.1538520f;
    p->b3 = 0.86650f * p->b3 + w * 0.3104856f;
    p->b4 = 0.55000f * p->b4 + w * 0.5329522f;
    p->b5 = -0.7616f * p->b5 - w * 0.0168980f;
    const float out = p->b0 + p->b1 + p->b2 + p->b3 + p->b4 + p->b5 + p->b6 + w * 0.5362f;
    p->b6 = w * 0.115926f;
    return out * 0.11f;
}

static int process(jack_nframes_t n, void *arg)
{
    (void)arg;
    /* The level swells between about -30 and 0 dBFS over a few seconds, per channel. */
    const double t = (double)frames_done / rate;
    for (int c = 0; c < channels; ++c) {
        jack_default_audio_sample_t *out = jack_port_get_buffer(ports[c], n);
        const float gain = (float)pow(10.0, (-15.0 + 15.0 * sin(t * (0.7 + 0.13 * c))) / 20.0);
        for (jack_nframes_t i = 0; i < n; ++i)
            out[i] = gain * pink_next(&noise[c]);
    }
    frames_done += n;
    return 0;
}

static void on_signal(int sig)
{
    (void)sig;
    done = 1;
}

int main(int argc, char **argv)
{
    if (argc < 2 || (channels = atoi(argv[1])) < 1 || channels > MAX_CHANNELS) {
        fprintf(stderr, "usage: jacknoise CHANNELS [INPUT-PORT...]\n");
        return 2;
    }
    jack_status_t status;
    client = jack_client_open("jacknoise", JackNoStartServer, &status);
    if (!client) {
        fprintf(stderr, "jacknoise: no JACK server (status 0x%x)\n", (unsigned)status);
        return 1;
    }
    rate = (float)jack_get_sample_rate(client);
    for (int c = 0; c < channels; ++c) {
        char name[16];
        snprintf(name, sizeof name, "out_%d", c + 1);
        ports[c] = jack_port_register(client, name, JACK_DEFAULT_AUDIO_TYPE, JackPortIsOutput, 0);
        noise[c].seed = 0x9e3779b9u * (uint32_t)(c + 1);
        if (!ports[c]) {
            fprintf(stderr, "jacknoise: cannot register %s\n", name);
            return 1;
        }
    }
    jack_set_process_callback(client, process, NULL);
    if (jack_activate(client)) {
        fprintf(stderr, "jacknoise: cannot activate\n");
        return 1;
    }
    for (int c = 0; c < channels && c + 2 < argc; ++c) {
        if (jack_connect(client, jack_port_name(ports[c]), argv[c + 2]))
            fprintf(stderr, "jacknoise: cannot connect to %s\n", argv[c + 2]);
    }
    signal(SIGTERM, on_signal);
    signal(SIGINT, on_signal);
    /* JACK's own threads may take the signal, so the flag is looked at now and then. */
    while (!done)
        usleep(200000);
    jack_client_close(client);
    return 0;
}
