/*
 * 泽瓦助手门户页面：与页面外观无关的逻辑（地址参数、游戏目录、插件下载、校验与安装、登录应答）。
 * Runs in both engines the client hosts (WebKitGTK and the IE control in IE11 mode):
 * ES5 only, no arrow functions, let/const, template literals, fetch or modules.
 */
var ZevaPortal = (function () {
  'use strict';

  // The download identifiers the page uses: A is fixed, B is the add-on's place + 1.
  var kToolFamily = 17;
  // config.ini section of the installed add-ons: key = add-on id, value = "version|folder",
  // and "|game folder" after it for add-ons that copy files into the game folder (their unpack
  // folder lies in the client's folder and does not tell where those went).
  var kInstalledSection = 'addons';
  // OnDownloadProgress also brings the client's own news: code 10, its settings were saved
  // (the game folder may have changed). It is about no download, whatever its key.
  var kSettingsSaved = 10;
  // How long a message stays on the status line when no other action replaces it.
  var kStatusSeconds = 8;

  function parseQuery(search) {
    var result = {};
    var text = String(search || '');
    if (text.charAt(0) === '?') text = text.substring(1);
    var pairs = text.split('&');
    for (var i = 0; i < pairs.length; i++) {
      if (!pairs[i]) continue;
      var at = pairs[i].indexOf('=');
      var key = at < 0 ? pairs[i] : pairs[i].substring(0, at);
      var value = at < 0 ? '' : pairs[i].substring(at + 1);
      result[decodePart(key)] = decodePart(value);
    }
    return result;
  }

  function decodePart(text) {
    var plain = text.replace(/\+/g, ' ');
    try {
      return decodeURIComponent(plain);
    } catch (e) {
      // Not UTF-8: keep the text as it came rather than lose the value.
      return plain;
    }
  }

  function versionNumbers(version) {
    var text = String(version || '').replace(/^\s+|\s+$/g, '').replace(/^[Vv]/, '');
    var match = /^[0-9]+(\.[0-9]+)*/.exec(text);
    if (!match) return [];
    var parts = match[0].split('.');
    var numbers = [];
    for (var i = 0; i < parts.length; i++) numbers.push(parseInt(parts[i], 10));
    return numbers;
  }

  // Negative, zero or positive, like a comparison function; missing numbers count as 0.
  function compareVersions(left, right) {
    var a = versionNumbers(left);
    var b = versionNumbers(right);
    var count = Math.max(a.length, b.length);
    for (var i = 0; i < count; i++) {
      var x = i < a.length ? a[i] : 0;
      var y = i < b.length ? b[i] : 0;
      if (x !== y) return x < y ? -1 : 1;
    }
    return 0;
  }

  // The client folder ends in the port's separator: "\" on Windows, "/" on Linux.
  function separatorFor(appPath) {
    var text = String(appPath || '');
    return text.charAt(text.length - 1) === '/' ? '/' : '\\';
  }

  function endsWithSeparator(text) {
    var last = text.charAt(text.length - 1);
    return last === '/' || last === '\\';
  }

  function joinPath(folder, name, separator) {
    var base = String(folder || '');
    if (!base) return name;
    return endsWithSeparator(base) ? base + name : base + separator + name;
  }

  // "a\b" written in the catalogue, with the port's separator.
  function localFolder(relative, separator) {
    return String(relative || '').split('\\').join(separator);
  }

  function withSeparator(folder, separator) {
    return endsWithSeparator(folder) ? folder : folder + separator;
  }

  // Whether two folders are one, trailing separators aside; Windows folders ignore case and
  // take either separator.
  function sameFolder(left, right, separator) {
    var a = String(left || '').replace(/[\\\/]+$/, '');
    var b = String(right || '').replace(/[\\\/]+$/, '');
    if (separator === '\\') {
      a = a.replace(/\//g, '\\').toLowerCase();
      b = b.replace(/\//g, '\\').toLowerCase();
    }
    return a === b;
  }

  // Calls one method of window.external; a missing client or a failing call gives `fallback`.
  function call(external, name, args, fallback) {
    if (!external) return fallback;
    // Never read a method as a property: on the IE control that is an Invoke of its own.
    try {
      switch (args.length) {
        case 0: return external[name]();
        case 1: return external[name](args[0]);
        case 2: return external[name](args[0], args[1]);
        case 3: return external[name](args[0], args[1], args[2]);
        case 4: return external[name](args[0], args[1], args[2], args[3]);
      }
      return fallback;
    } catch (e) {
      return fallback;
    }
  }

  // window.external belongs to the client only when web_IsClient answers true (plain
  // browsers have no such method, or no external object at all).
  function isClient(external) {
    var answer = call(external, 'web_IsClient', [], false);
    return answer === true || answer === -1 || answer === 1;
  }

  function clientPaths(external) {
    var appPath = String(call(external, 'GetAppPath', [], '') || '');
    var separator = separatorFor(appPath);
    return {appPath: appPath, separator: separator, config: appPath + 'config.ini'};
  }

  // The game folder the user plays: "CF Info"/"FOLDER", or "FOLDER_TYF" when "system"/"run"
  // is "1" (the test server).
  function readGameFolder(external) {
    var paths = clientPaths(external);
    if (!paths.appPath) return {key: 'FOLDER', folder: '', testServer: false};
    var run = String(call(external, 'GetConfigString', ['system', 'run', paths.config], '') || '');
    var key = run === '1' ? 'FOLDER_TYF' : 'FOLDER';
    var folder = String(call(external, 'GetConfigString', ['CF Info', key, paths.config], '') || '');
    return {key: key, folder: folder, testServer: run === '1'};
  }

  function launcherPath(external, gameFolder) {
    return joinPath(gameFolder, 'QQLogin.exe', clientPaths(external).separator);
  }

  // Starts the game, and the window-mode watcher by "system"/"wnd": "1" always, "2" (ask at
  // start) when the player says yes to `ask(question)` (window.confirm), anything else never.
  // The question comes before the game starts, so no answer is pending while it loads.
  function startGame(external, ask) {
    var game = readGameFolder(external);
    if (!game.folder) return {ok: false, message: '请先选择游戏目录。'};
    var paths = clientPaths(external);
    var windowMode = String(call(external, 'GetConfigString', ['system', 'wnd', paths.config], '') || '');
    // As the client's settings read it: "1" on, "0" off, anything else (none yet) asks.
    var watch = windowMode === '1' ||
        (windowMode !== '0' && typeof ask === 'function' && !!ask('是否以窗口化模式启动游戏？'));
    if (!call(external, 'RunExe', [launcherPath(external, game.folder)], false)) {
      return {ok: false, message: '游戏没有启动，请检查游戏目录。'};
    }
    if (watch) call(external, 'web_StartWndThread', [], false);
    return {ok: true, message: '游戏正在启动……'};
  }

  /*
   * The side bar's status line. A message stays until the next action replaces or clears it,
   * at most kStatusSeconds: one one-shot timer, running only while a message is shown.
   * `show(text)` puts the text on the page; `timers` is {set, clear} (setTimeout, clearTimeout).
   */
  function StatusLine(show, timers) {
    this.show = show;
    this.timers = timers;
    this.timer = null;
  }

  StatusLine.prototype.say = function (text) {
    if (this.timer !== null) this.timers.clear(this.timer);
    this.timer = null;
    this.show(text || '');
    if (!text) return;
    var self = this;
    this.timer = this.timers.set(function () {
      self.timer = null;
      self.show('');
    }, kStatusSeconds * 1000);
  };

  StatusLine.prototype.clear = function () { this.say(''); };

  // What OnDownloadProgress(code, key high, key low, value) reports: code 10 runs
  // `settingsSaved`, everything else goes to the add-ons (when their list is loaded).
  function clientReport(addons, settingsSaved, code, high, low, value) {
    if (Number(code) === kSettingsSaved) {
      if (settingsSaved) settingsSaved();
      return true;
    }
    return addons ? addons.progress(code, high, low, value) : false;
  }

  // The key halves the client reports for identifiers (a, b): the key is a * 2^32 + b.
  function toolKey(a, b) {
    var high = b < 0 ? a - 1 : a;
    return high + ':' + b;
  }

  function parseLoginReply(text) {
    var reply = String(text || '').replace(/^\s+|\s+$/g, '');
    var parts = reply.split('|');
    if (parts[0] === '1' && parts.length >= 3 && parts[1] && parts[2]) {
      return {ok: true, uid: parts[1], token: parts[2], message: parts.slice(3).join('|') || '登录成功'};
    }
    if (parts[0] === '0' && parts.length >= 2) {
      return {ok: false, message: parts.slice(1).join('|')};
    }
    return {ok: false, message: '登录服务器没有给出有效应答。'};
  }

  // What the page says when the login request got no usable reply (status 0: no server).
  function loginFailureText(status) {
    if (!status) return '无法连接登录服务器，请检查网络后再试。';
    return '登录失败（错误码 ' + status + '）';
  }

  // The account endpoint's address: rcode is the name and the password, percent-encoded
  // UTF-8, separated by a tab.
  function loginAddress(base, name, password) {
    return base + '/ajax.php?action=login&rcode=' + encodeURIComponent(name) + '%09' +
        encodeURIComponent(password) + '&appid=17';
  }

  function formatSize(bytes) {
    var value = Number(bytes) || 0;
    if (value >= 1073741824) return (value / 1073741824).toFixed(1) + ' GB';
    if (value >= 1048576) return (value / 1048576).toFixed(1) + ' MB';
    if (value >= 1024) return Math.round(value / 1024) + ' KB';
    return value + ' 字节';
  }

  function formatSpeed(bytesPerSecond) {
    var value = Number(bytesPerSecond) || 0;
    if (value >= 1048576) return (value / 1048576).toFixed(1) + ' MB/s';
    return Math.round(value / 1024) + ' KB/s';
  }

  function twoDigits(number) {
    return (number < 10 ? '0' : '') + number;
  }

  // Seconds left as the page shows them; '' when the client cannot tell.
  function formatTimeLeft(seconds) {
    var value = Math.ceil(Number(seconds));
    if (!(value >= 0)) return '';
    if (value < 60) return '剩余 ' + value + ' 秒';
    if (value < 3600) return '剩余 ' + Math.floor(value / 60) + ' 分 ' + twoDigits(value % 60) + ' 秒';
    if (value < 360000) {
      return '剩余 ' + Math.floor(value / 3600) + ' 小时 ' + twoDigits(Math.floor(value / 60) % 60) + ' 分';
    }
    return '剩余时间较长';
  }

  function absoluteUrl(origin, url) {
    if (/^https?:\/\//i.test(url)) return url;
    return origin + (url.charAt(0) === '/' ? url : '/' + url);
  }

  /*
   * The add-ons of the catalogue and their downloads. `listener(addon)` hears every change of
   * an add-on's state:
   *   idle, downloading (percent, speed, secondsLeft), paused, failed, verifying, damaged,
   *   installing, installed, installFailed.
   * `defer(step)` runs a step after the page has had a chance to show the state before it.
   */
  function AddonController(external, origin, addons, listener) {
    this.external = external;
    this.origin = origin;
    this.addons = [];
    this.byKey = {};
    this.listener = listener || function () {};
    this.defer = function (step) { step(); };
    for (var i = 0; i < addons.length; i++) {
      var addon = {
        info: addons[i],
        a: kToolFamily,
        b: i + 1,
        state: 'idle',
        percent: 0,
        speed: -1,
        secondsLeft: -1,
        bytesDone: -1,
        message: '',
        detail: ''
      };
      this.addons.push(addon);
      this.byKey[toolKey(addon.a, addon.b)] = addon;
    }
  }

  AddonController.prototype.lookup = function (id) {
    for (var i = 0; i < this.addons.length; i++) {
      if (this.addons[i].info.id === id) return this.addons[i];
    }
    return null;
  };

  AddonController.prototype.change = function (addon, state, message, detail) {
    if (state !== 'downloading') addon.speed = addon.secondsLeft = -1;
    addon.state = state;
    addon.message = message || '';
    addon.detail = detail || '';
    this.listener(addon);
  };

  AddonController.prototype.record = function (addon, value) {
    call(this.external, 'SetConfigString',
        [kInstalledSection, addon.info.id, value, clientPaths(this.external).config], 0);
  };

  // The add-on's installed record: {version, target (the folder it unpacked to), game (the
  // game folder it went into)}, or null. `game` is '' for an add-on that puts nothing there.
  AddonController.prototype.installedRecord = function (addon) {
    var ext = this.external;
    var paths = clientPaths(ext);
    var stored = String(call(ext, 'GetConfigString',
        [kInstalledSection, addon.info.id, paths.config], '') || '');
    var bar = stored.indexOf('|');
    if (bar < 0) return null;
    var record = {version: stored.substring(0, bar), target: stored.substring(bar + 1), game: ''};
    var unpack = addon.info.unpack || {base: 'game', folder: ''};
    if ((addon.info.place || []).length) {
      bar = record.target.indexOf('|');
      if (bar >= 0) {
        record.game = record.target.substring(bar + 1);
        record.target = record.target.substring(0, bar);
      } else {
        // Written before the game folder was kept: the files were looked for where the page
        // looks now.
        record.game = readGameFolder(ext).folder;
      }
    } else if (unpack.base !== 'client') {
      // Unpacked into the game folder: the target is that folder and the unpack folder.
      var sep = paths.separator;
      var sub = unpack.folder ? withSeparator(localFolder(unpack.folder, sep), sep) : '';
      var target = withSeparator(record.target, sep);
      var game = target.substring(target.length - sub.length) === sub ?
          target.substring(0, target.length - sub.length) : target;
      // As folders are kept: no separator at the end, except a root's ("C:\\", "/").
      record.game = /^([A-Za-z]:)?[\\\/]$/.test(game) ? game : game.replace(/[\\\/]+$/, '');
    }
    return record;
  };

  // Whether what an install put down is still there: the placed files in the game folder they
  // went into, else anything in the folder it unpacked to.
  AddonController.prototype.stillThere = function (addon, record) {
    var place = addon.info.place || [];
    var sep = clientPaths(this.external).separator;
    if (!place.length) return !!call(this.external, 'GetFilePath', [record.target + '*'], '');
    if (!record.game) return false;
    for (var i = 0; i < place.length; i++) {
      if (!call(this.external, 'GetFilePath', [joinPath(record.game, place[i], sep)], '')) return false;
    }
    return true;
  };

  // Changes the add-on's state unless it already shows it.
  AddonController.prototype.settle = function (addon, state, message, detail) {
    if (addon.state === state && (state === 'installed' || addon.message === message)) return;
    addon.percent = state === 'installed' ? 100 : 0;
    this.change(addon, state, message, detail);
  };

  // Which add-ons are installed in the game folder the page uses now: at start and whenever
  // that folder may have changed. One installed into another game folder shows as not
  // installed, and its record stays (its files are still there: going back to that folder
  // shows it installed again). A record whose files are gone is forgotten. Add-ons busy or
  // with a message of their own (paused, failed, ...) are left alone.
  AddonController.prototype.restore = function () {
    var game = readGameFolder(this.external);
    var sep = clientPaths(this.external).separator;
    for (var i = 0; i < this.addons.length; i++) {
      var addon = this.addons[i];
      if (addon.state !== 'idle' && addon.state !== 'installed') continue;
      var record = this.installedRecord(addon);
      if (!record) continue;
      var unpack = addon.info.unpack || {base: 'game', folder: ''};
      var inGame = unpack.base !== 'client' || (addon.info.place || []).length > 0;
      if (inGame && (!game.folder || !sameFolder(record.game, game.folder, sep))) {
        this.settle(addon, 'idle', '当前游戏目录中未安装。',
            record.game ? '已安装在另一个游戏目录：' + record.game : '');
      } else if (!this.stillThere(addon, record)) {
        this.record(addon, '');
        this.settle(addon, 'idle', '');
      } else if (record.version !== String(addon.info.version)) {
        this.settle(addon, 'idle', '有新版本 v' + addon.info.version + '，可下载更新。');
      } else {
        this.settle(addon, 'installed', '已安装。', record.target);
      }
    }
  };

  // Download or resume: the client continues a partial file under the same name.
  AddonController.prototype.download = function (id) {
    var addon = this.lookup(id);
    if (!addon || addon.state === 'downloading' || addon.state === 'installing') return false;
    if (addon.info.unpack && addon.info.unpack.base === 'game' && !readGameFolder(this.external).folder) {
      this.change(addon, addon.state, '请先选择游戏目录。');
      return false;
    }
    var before = addon.state;
    var shortage = this.spaceShortage(addon, before === 'paused' || before === 'failed');
    if (shortage) {
      this.change(addon, before, shortage.message, shortage.detail);
      return false;
    }
    // A paused or failed download goes on from its part; anything else starts from nothing.
    if (before !== 'paused' && before !== 'failed') addon.percent = 0;
    addon.state = 'starting';
    var started = call(this.external, 'DownloadFile',
        [absoluteUrl(this.origin, addon.info.url), addon.info.file, addon.a, addon.b], 0);
    if (!started) {
      this.change(addon, before === 'starting' ? 'idle' : before, '下载没有开始，请稍后再试。');
      return false;
    }
    // A report may arrive before DownloadFile returns (a request that fails at once): keep it.
    if (addon.state === 'starting') this.change(addon, 'downloading', '');
    return true;
  };

  // Free bytes of a folder's disk; -1 when the client cannot tell (an older client, no folder).
  AddonController.prototype.freeSpace = function (folder) {
    var free = Number(call(this.external, 'GetDiskFreeSpace', [folder], -1));
    return free >= 0 ? free : -1;
  };

  // What keeps the add-on from fitting: the archive (or the rest of it) in the client's
  // Downloads folder, and as much again where it unpacks; null when it fits or nobody can tell.
  AddonController.prototype.spaceShortage = function (addon, resuming) {
    var size = Number(addon.info.size) || 0;
    if (!size) return null;
    var ext = this.external;
    var unpack = addon.info.unpack || {base: 'game', folder: ''};
    var done = resuming ? Number(call(ext, 'GetDownloadedBytes', [addon.a, addon.b], -1)) : -1;
    var download = done > 0 && done < size ? size - done : size;
    var sameDisk = unpack.base === 'client';
    var needs = [
      {folder: clientPaths(ext).appPath, bytes: download + (sameDisk ? size : 0), name: '助手所在磁盘'}
    ];
    if (!sameDisk) {
      needs.push({folder: readGameFolder(ext).folder, bytes: size, name: '游戏目录所在磁盘'});
    }
    for (var i = 0; i < needs.length; i++) {
      var need = needs[i];
      var free = need.folder ? this.freeSpace(need.folder) : -1;
      if (free >= 0 && free < need.bytes) {
        return {
          message: need.name + '空间不足，还差 ' + formatSize(need.bytes - free) + '。',
          detail: '需要 ' + formatSize(need.bytes) + '，只剩 ' + formatSize(free) + '：' + need.folder
        };
      }
    }
    return null;
  };

  // Speed and time left of the running downloads, as the client measures them.
  AddonController.prototype.refreshFigures = function () {
    for (var i = 0; i < this.addons.length; i++) {
      var addon = this.addons[i];
      if (addon.state !== 'downloading') continue;
      var key = [addon.a, addon.b];
      addon.speed = Number(call(this.external, 'GetDownloadSpeed', key, -1));
      addon.secondsLeft = Number(call(this.external, 'GetDownloadTimeLeft', key, -1));
      addon.bytesDone = Number(call(this.external, 'GetDownloadedBytes', key, -1));
      this.listener(addon);
    }
  };

  AddonController.prototype.pause = function (id) {
    var addon = this.lookup(id);
    if (!addon || addon.state !== 'downloading') return false;
    return !!call(this.external, 'PauseDownload', [addon.a, addon.b], 0);
  };

  // OnDownloadProgress: (code, key high half, key low half, value).
  AddonController.prototype.progress = function (code, high, low, value) {
    var addon = this.byKey[high + ':' + low];
    code = Number(code);
    // Only these codes are download reports (code 10, the saved settings, is none).
    if (!addon || (code !== 1 && code !== 2 && code !== -100 && code !== -1)) return false;
    if (code === 1) {
      addon.percent = Math.max(0, Math.min(100, Number(value) || 0));
      this.change(addon, 'downloading', '');
    } else if (code === 2) {
      addon.percent = 100;
      this.verifyAndInstall(addon);
    } else if (code === -100) {
      this.change(addon, 'paused', '已暂停，可继续下载。');
    } else if (code === -1) {
      this.change(addon, 'failed', '下载失败，可重试（会接着已下载的部分继续）。');
    }
    return true;
  };

  AddonController.prototype.archivePath = function (addon) {
    var paths = clientPaths(this.external);
    return paths.appPath + 'Downloads' + paths.separator + addon.info.file;
  };

  // The finished archive must be the catalogue's, byte for byte, before anything of it is
  // unpacked: a damaged one is deleted (the next download starts afresh) and never unpacked.
  AddonController.prototype.verifyAndInstall = function (addon) {
    var expected = String(addon.info.sha256 || '').toLowerCase();
    if (!expected) {
      this.install(addon);  // a catalogue without digests
      return;
    }
    this.change(addon, 'verifying', '正在校验文件……');
    var self = this;
    this.defer(function () {
      var archive = self.archivePath(addon);
      var actual = call(self.external, 'GetFileSha256', [archive], null);
      // A client too old to hash installs as it always did.
      if (actual === null || String(actual).toLowerCase() === expected) {
        self.install(addon);
        return;
      }
      call(self.external, 'DeleteFile', [archive], 0);
      addon.percent = 0;
      self.change(addon, 'damaged', '文件校验失败：下载的文件已损坏，已删除，请重新下载。',
          '应为 SHA-256：' + expected + '\n实际：' + (actual ? String(actual) : '无法读取文件'));
    });
  };

  // Unpacks the finished archive and places the files the add-on puts into the game folder.
  AddonController.prototype.install = function (addon) {
    var paths = clientPaths(this.external);
    var sep = paths.separator;
    var game = readGameFolder(this.external);
    var unpack = addon.info.unpack || {base: 'game', folder: ''};
    var base = unpack.base === 'client' ? paths.appPath : game.folder;
    var place = addon.info.place || [];
    if (!base || (place.length && !game.folder)) {
      this.change(addon, 'installFailed', '下载完成，但还没有设置游戏目录，请先选择游戏目录后重试。');
      return;
    }
    this.change(addon, 'installing', '正在解压……');
    var archive = this.archivePath(addon);
    var target = withSeparator(base, sep);
    if (unpack.folder) target = withSeparator(target + localFolder(unpack.folder, sep), sep);
    if (!call(this.external, 'UnzipFile', [archive, target], 0)) {
      this.change(addon, 'installFailed', '解压失败，请确认目录可以写入。', target);
      return;
    }
    for (var i = 0; i < place.length; i++) {
      var source = target + place[i];
      var destination = joinPath(game.folder, place[i], sep);
      if (!call(this.external, 'CopyFile', [source, destination], 0)) {
        this.change(addon, 'installFailed', '无法复制 ' + place[i] + ' 到游戏目录（游戏是否正在运行？）');
        return;
      }
    }
    this.record(addon, addon.info.version + '|' + target + (place.length ? '|' + game.folder : ''));
    this.change(addon, 'installed',
        place.length || unpack.base !== 'client' ? '安装成功，已放入游戏目录。' : '安装成功。', target);
  };

  // Takes the add-on's placed files out of the game folder they were copied into (the one
  // its record names, which need not be the page's game folder now).
  AddonController.prototype.remove = function (id) {
    var addon = this.lookup(id);
    var place = addon && addon.info.place ? addon.info.place : [];
    if (!addon || !place.length) return false;
    var record = this.installedRecord(addon);
    var folder = record ? record.game : readGameFolder(this.external).folder;
    if (!folder) return false;
    var sep = clientPaths(this.external).separator;
    var failed = [];
    for (var i = 0; i < place.length; i++) {
      var file = joinPath(folder, place[i], sep);
      if (call(this.external, 'GetFilePath', [file], '') &&
          !call(this.external, 'DeleteFile', [file], 0)) {
        failed.push(place[i]);
      }
    }
    if (!failed.length) {
      addon.percent = 0;
      this.record(addon, '');
    }
    this.change(addon, failed.length ? 'installed' : 'idle',
        failed.length ? '无法删除：' + failed.join('、') : '已从游戏目录移除。', folder);
    return failed.length === 0;
  };

  return {
    parseQuery: parseQuery,
    compareVersions: compareVersions,
    separatorFor: separatorFor,
    joinPath: joinPath,
    call: call,
    isClient: isClient,
    clientPaths: clientPaths,
    readGameFolder: readGameFolder,
    launcherPath: launcherPath,
    startGame: startGame,
    StatusLine: StatusLine,
    clientReport: clientReport,
    toolKey: toolKey,
    parseLoginReply: parseLoginReply,
    loginFailureText: loginFailureText,
    loginAddress: loginAddress,
    formatSize: formatSize,
    formatSpeed: formatSpeed,
    formatTimeLeft: formatTimeLeft,
    absoluteUrl: absoluteUrl,
    AddonController: AddonController
  };
})();
