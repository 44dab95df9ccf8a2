'use strict';

// Watches the first publisher in the video room of a channel and says what it
// decodes. The channel maps to its room exactly as the project's engine maps
// it, so a channel name is all a viewer needs. Parameters come from the page's
// address (?server=...&channel=...&token=...&report=...) or from its form;
// "report" is an address the page posts what it sees to, twice a second.

// FNV-1a over the channel's UTF-8 bytes, with the engine's starting value,
// kept below 2^53 (numbers survive JSON readers that hold them as doubles)
// and odd (0 is "choose one" to Janus).
function roomFor(channel) {
  let hash = 1469598103934665603n;
  for (const byte of new TextEncoder().encode(channel)) {
    hash ^= BigInt(byte);
    hash = (hash * 1099511628211n) & 0xffffffffffffffffn;
  }
  return Number((hash & ((1n << 53n) - 1n)) | 1n);
}

// Janus's video room answers a join of a room no one has made yet so.
const NO_SUCH_ROOM = 426;
const RETRY_MS = 1000;

class RoomWatcher {
  constructor({ server, channel, token, report }, video, say) {
    this.server = server;
    this.channel = channel;
    this.token = token || undefined;
    this.report = report;
    this.room = roomFor(channel);
    this.video = video;
    this.say = say;
    this.feed = null;
    this.subscriber = null;
    this.canvas = document.createElement('canvas');
  }

  start() {
    if (!Janus.isWebrtcSupported()) {
      this.say('This browser has no WebRTC.');
      return;
    }
    Janus.init({ debug: false, callback: () => this.connect() });
    setInterval(() => this.look(), 500);
  }

  connect() {
    this.say(`Connecting to ${this.server}...`);
    this.janus = new Janus({
      server: this.server,
      token: this.token,
      success: () => this.attachListener(),
      error: (error) => {
        this.say(`The server cannot be reached: ${error}. Trying again.`);
        this.feed = null;
        setTimeout(() => this.connect(), RETRY_MS);
      },
    });
  }

  // A member that publishes nothing: the room tells it who publishes.
  attachListener() {
    this.janus.attach({
      plugin: 'janus.plugin.videoroom',
      success: (handle) => {
        this.listener = handle;
        this.joinAsListener();
      },
      onmessage: (message) => this.onRoomMessage(message),
      error: (error) => this.say(`The room cannot be joined: ${error}`),
    });
  }

  joinAsListener() {
    this.say(`Waiting for channel "${this.channel}" (room ${this.room})...`);
    this.listener.send({ message: { request: 'join', room: this.room, ptype: 'publisher', display: 'browser' } });
  }

  onRoomMessage(message) {
    if (message.error_code === NO_SUCH_ROOM) {
      setTimeout(() => this.joinAsListener(), RETRY_MS);
      return;
    }
    if (message.error) {
      this.say(`The room refused: ${message.error}`);
      return;
    }
    const gone = message.unpublished || message.leaving;
    if (gone && gone === this.feed) {
      this.say('The publisher left; waiting for the next one.');
      this.dropSubscriber();
    }
    const publishers = message.publishers || [];
    if (!this.feed && publishers.length > 0)
      this.subscribe(publishers[0].id);
  }

  dropSubscriber() {
    if (this.subscriber)
      this.subscriber.detach();
    this.subscriber = null;
    this.feed = null;
    this.video.srcObject = null;
  }

  subscribe(feed) {
    this.feed = feed;
    this.janus.attach({
      plugin: 'janus.plugin.videoroom',
      success: (handle) => {
        this.subscriber = handle;
        handle.send({ message: { request: 'join', room: this.room, ptype: 'subscriber', feed } });
      },
      onmessage: (message, jsep) => {
        if (!jsep)
          return;
        this.subscriber.createAnswer({
          jsep,
          success: (answer) => this.subscriber.send({ message: { request: 'start', room: this.room }, jsep: answer }),
          error: (error) => this.say(`The publisher's offer cannot be answered: ${error}`),
        });
      },
      onremotetrack: (track, mid, on) => {
        if (track.kind === 'video' && on)
          this.video.srcObject = new MediaStream([track]);
      },
      error: (error) => this.say(`The publisher cannot be watched: ${error}`),
    });
  }

  // What the video shows: its size, frames decoded, and the colour at nine
  // points (the centre and the middles and corners of a 4 x 4 grid's inside).
  look() {
    const quality = this.video.getVideoPlaybackQuality ? this.video.getVideoPlaybackQuality() : null;
    const seen = {
      channel: this.channel,
      room: this.room,
      watching: this.feed !== null,
      frames: quality ? quality.totalVideoFrames : 0,
      width: this.video.videoWidth,
      height: this.video.videoHeight,
      points: [],
    };
    if (seen.width > 0 && seen.height > 0) {
      this.canvas.width = seen.width;
      this.canvas.height = seen.height;
      const context = this.canvas.getContext('2d', { willReadFrequently: true });
      context.drawImage(this.video, 0, 0);
      for (const fy of [0.25, 0.5, 0.75]) {
        for (const fx of [0.25, 0.5, 0.75]) {
          const x = Math.floor(fx * seen.width);
          const y = Math.floor(fy * seen.height);
          const [r, g, b] = context.getImageData(x, y, 1, 1).data;
          seen.points.push({ x, y, r, g, b });
        }
      }
      const centre = seen.points[4];
      this.say(`Watching "${this.channel}": ${seen.width}x${seen.height}, ${seen.frames} frames, ` +
               `centre rgb(${centre.r}, ${centre.g}, ${centre.b})`);
    }
    if (this.report)
      fetch(this.report, { method: 'POST', body: JSON.stringify(seen) }).catch(() => {});
  }
}

window.addEventListener('load', () => {
  const query = new URLSearchParams(window.location.search);
  const form = document.getElementById('room');
  const server = document.getElementById('server');
  const channel = document.getElementById('channel');
  const status = document.getElementById('status');
  const say = (text) => { status.textContent = text; };
  server.value = query.get('server') || `http://${window.location.hostname || '127.0.0.1'}:8088/janus`;
  channel.value = query.get('channel') || '';
  let watcher = null;
  const watch = () => {
    if (watcher || !channel.value)
      return;
    watcher = new RoomWatcher({ server: server.value, channel: channel.value, token: query.get('token'),
                                report: query.get('report') }, document.getElementById('video'), say);
    watcher.start();
  };
  form.addEventListener('submit', (event) => {
    event.preventDefault();
    watch();
  });
  watch();
});
