/* A playback PCM that takes frames no faster than its rate, as a sound card
 * does, and throws them away. The test configurations put it under ALSA's
 * file plugin, so a test hears what was played at the pace it was played;
 * a sink that swallows sound as fast as the CPU allows races through songs
 * and fills the disk with silence while a stream idles.
 *
 * An underrun does not stop it: the clock waits for the next frames, as if
 * the card had played silence in between. */
#include <errno.h>
#include <poll.h>
#include <stdint.h>
#include <stdlib.h>
#include <string.h>
#include <sys/timerfd.h>
#include <time.h>
#include <unistd.h>

#include <alsa/asoundlib.h>
#include <alsa/pcm_external.h>

typedef struct {
  snd_pcm_ioplug_t io;
  int timer;
  int running;
  uint64_t start_ns;   /* when frame `base` was due */
  uint64_t base;       /* frames played before start_ns */
  uint64_t written;    /* frames handed to the device since prepare */
} paced_t;

static uint64_t now_ns(void) {
  struct timespec t;
  clock_gettime(CLOCK_MONOTONIC, &t);
  return (uint64_t)t.tv_sec * 1000000000u + (uint64_t)t.tv_nsec;
}

/* Frames the card has played, never more than it was given. */
static uint64_t played(paced_t *p) {
  if (!p->running || p->io.rate == 0) return p->base;
  const uint64_t t = now_ns();
  const uint64_t due = p->base + (t - p->start_ns) * p->io.rate / 1000000000u;
  if (due <= p->written) return due;
  p->base = p->written;
  p->start_ns = t;
  return p->base;
}

/* Wakes a waiting writer about once a period, at most every 5 ms. */
static void arm(paced_t *p) {
  struct itimerspec when;
  memset(&when, 0, sizeof when);
  if (p->io.rate > 0) {
    uint64_t ns = (uint64_t)p->io.period_size * 1000000000u / p->io.rate;
    if (ns > 5000000u) ns = 5000000u;
    if (ns < 500000u) ns = 500000u;
    when.it_value.tv_nsec = (long)ns;
    when.it_interval.tv_nsec = (long)ns;
  }
  timerfd_settime(p->timer, 0, &when, NULL);
}

static int paced_start(snd_pcm_ioplug_t *io) {
  paced_t *p = io->private_data;
  p->running = 1;
  p->start_ns = now_ns();
  return 0;
}

static int paced_stop(snd_pcm_ioplug_t *io) {
  paced_t *p = io->private_data;
  p->base = played(p);
  p->running = 0;
  return 0;
}

static int paced_prepare(snd_pcm_ioplug_t *io) {
  paced_t *p = io->private_data;
  p->running = 0;
  p->base = p->written = 0;
  arm(p);
  return 0;
}

static snd_pcm_sframes_t paced_pointer(snd_pcm_ioplug_t *io) {
  paced_t *p = io->private_data;
  /* The whole count, not its place in the buffer: a thread that slept through a
   * whole buffer would otherwise see no progress at all and wait for ever. */
  return (snd_pcm_sframes_t)played(p);
}

static snd_pcm_sframes_t paced_transfer(snd_pcm_ioplug_t *io, const snd_pcm_channel_area_t *areas,
                                        snd_pcm_uframes_t offset, snd_pcm_uframes_t size) {
  (void)areas;
  (void)offset;
  paced_t *p = io->private_data;
  p->written += size;
  return (snd_pcm_sframes_t)size;
}

static int paced_poll_revents(snd_pcm_ioplug_t *io, struct pollfd *pfd, unsigned int nfds,
                              unsigned short *revents) {
  paced_t *p = io->private_data;
  uint64_t ticks;
  if (nfds == 1 && (pfd[0].revents & POLLIN)) {
    if (read(p->timer, &ticks, sizeof ticks) < 0 && errno != EAGAIN) return -errno;
  }
  const uint64_t queued = p->written - played(p);
  const uint64_t room = io->buffer_size > queued ? io->buffer_size - queued : 0;
  *revents = room >= io->period_size ? POLLOUT : 0;
  return 0;
}

static int paced_close(snd_pcm_ioplug_t *io) {
  paced_t *p = io->private_data;
  close(p->timer);
  free(p);
  return 0;
}

static const snd_pcm_ioplug_callback_t paced_callback = {
  .start = paced_start,
  .stop = paced_stop,
  .pointer = paced_pointer,
  .transfer = paced_transfer,
  .close = paced_close,
  .prepare = paced_prepare,
  .poll_revents = paced_poll_revents,
};

static int paced_constraints(snd_pcm_ioplug_t *io, long rate_max) {
  static const unsigned int access[] = {SND_PCM_ACCESS_MMAP_INTERLEAVED, SND_PCM_ACCESS_MMAP_NONINTERLEAVED,
                                        SND_PCM_ACCESS_RW_INTERLEAVED, SND_PCM_ACCESS_RW_NONINTERLEAVED};
  static const unsigned int formats[] = {SND_PCM_FORMAT_U8,     SND_PCM_FORMAT_S16_LE, SND_PCM_FORMAT_S24_LE,
                                         SND_PCM_FORMAT_S32_LE, SND_PCM_FORMAT_FLOAT_LE};
  int err;
  if ((err = snd_pcm_ioplug_set_param_list(io, SND_PCM_IOPLUG_HW_ACCESS, 4, access)) < 0 ||
      (err = snd_pcm_ioplug_set_param_list(io, SND_PCM_IOPLUG_HW_FORMAT, 5, formats)) < 0 ||
      (err = snd_pcm_ioplug_set_param_minmax(io, SND_PCM_IOPLUG_HW_CHANNELS, 1, 8)) < 0 ||
      (err = snd_pcm_ioplug_set_param_minmax(io, SND_PCM_IOPLUG_HW_RATE, 4000, (unsigned)rate_max)) < 0 ||
      (err = snd_pcm_ioplug_set_param_minmax(io, SND_PCM_IOPLUG_HW_PERIOD_BYTES, 64, 1 << 20)) < 0 ||
      (err = snd_pcm_ioplug_set_param_minmax(io, SND_PCM_IOPLUG_HW_PERIODS, 2, 1024)) < 0 ||
      (err = snd_pcm_ioplug_set_param_minmax(io, SND_PCM_IOPLUG_HW_BUFFER_BYTES, 128, 4 << 20)) < 0)
    return err;
  return 0;
}

SND_PCM_PLUGIN_DEFINE_FUNC(ravlox_paced) {
  (void)root;
  snd_config_iterator_t i, next;
  long rate_max = 384000; /* "rate_max": a card that refuses higher rates */
  snd_config_for_each(i, next, conf) {
    snd_config_t *n = snd_config_iterator_entry(i);
    const char *id;
    if (snd_config_get_id(n, &id) < 0) continue;
    if (strcmp(id, "comment") == 0 || strcmp(id, "type") == 0 || strcmp(id, "hint") == 0) continue;
    if (strcmp(id, "rate_max") == 0) {
      /* A number, or a string of digits (what a configuration's getenv gives). */
      const char *text = NULL;
      if (snd_config_get_integer(n, &rate_max) < 0)
        rate_max = snd_config_get_string(n, &text) < 0 ? 0 : strtol(text, NULL, 10);
      if (rate_max < 4000 || rate_max > 384000) {
        SNDERR("rate_max must be a rate from 4000 to 384000");
        return -EINVAL;
      }
      continue;
    }
    SNDERR("Unknown field %s", id);
    return -EINVAL;
  }
  if (stream != SND_PCM_STREAM_PLAYBACK) return -EINVAL;

  paced_t *p = calloc(1, sizeof *p);
  if (p == NULL) return -ENOMEM;
  p->timer = timerfd_create(CLOCK_MONOTONIC, TFD_NONBLOCK | TFD_CLOEXEC);
  if (p->timer < 0) {
    free(p);
    return -errno;
  }
  p->io.version = SND_PCM_IOPLUG_VERSION;
  p->io.name = "paced sink";
  p->io.callback = &paced_callback;
  p->io.private_data = p;
  p->io.poll_fd = p->timer;
  p->io.poll_events = POLLIN;
  p->io.mmap_rw = 0;
  p->io.flags = SND_PCM_IOPLUG_FLAG_BOUNDARY_WA;

  int err = snd_pcm_ioplug_create(&p->io, name, stream, mode);
  if (err < 0) {
    close(p->timer);
    free(p);
    return err;
  }
  if ((err = paced_constraints(&p->io, rate_max)) < 0) {
    snd_pcm_ioplug_delete(&p->io);
    return err;
  }
  *pcmp = p->io.pcm;
  return 0;
}

SND_PCM_PLUGIN_SYMBOL(ravlox_paced);
