/*
 * 泽瓦助手门户页面：页面与 window.external 的连接。逻辑在 portal_logic.js 中。
 * ES5 only (the IE control runs this page too); feature tests, never the user agent.
 */
var portalAddons = null;
// What the page does when the client says its settings were saved (set at start-up).
var portalSettingsSaved = null;

// Called by the client for every download report, (code, key high, key low, value), and with
// code 10 when its settings window saved.
function OnDownloadProgress(code, high, low, value) {
  ZevaPortal.clientReport(portalAddons, portalSettingsSaved, code, high, low, value);
}

(function () {
  'use strict';

  var P = ZevaPortal;
  var external = null;
  var query = P.parseQuery(window.location.search);
  var origin = window.location.protocol + '//' + window.location.host;
  var cards = {};

  function byId(id) { return document.getElementById(id); }

  function setText(id, text) { byId(id).textContent = text; }

  function show(id, visible) {
    var element = byId(id);
    element.className = element.className.replace(/\s*\bhidden\b/g, '') + (visible ? '' : ' hidden');
  }

  function on(id, event, handler) { byId(id).addEventListener(event, handler, false); }

  var statusLine = new P.StatusLine(function (text) { setText('status', text); }, {
    set: function (step, milliseconds) { return window.setTimeout(step, milliseconds); },
    clear: function (timer) { window.clearTimeout(timer); }
  });

  function status(text) { statusLine.say(text); }

  // A handler for one of the player's actions: what the status line said before is about an
  // earlier one, so it goes first.
  function action(handler) {
    return function (event) {
      statusLine.clear();
      handler(event);
    };
  }

  function getJson(url, done) {
    var request = new XMLHttpRequest();
    request.onreadystatechange = function () {
      if (request.readyState !== 4) return;
      var value = null;
      if (request.status === 200) {
        try { value = JSON.parse(request.responseText); } catch (e) { value = null; }
      }
      done(value);
    };
    // The IE control keeps GET replies in its cache unless the address changes.
    request.open('GET', url + (url.indexOf('?') < 0 ? '?' : '&') + '_=' + new Date().getTime(), true);
    request.send(null);
  }

  // ---- the client ---------------------------------------------------------------------

  function connectClient() {
    var candidate = window.external;
    if (!candidate) return null;
    // Register the page for download reports first, then ask whether this is the client.
    P.call(candidate, 'SetCallBack', [document], 0);
    return P.isClient(candidate) ? candidate : null;
  }

  // Shows the game folder, and which add-ons are installed in it.
  function refreshGameFolder() {
    if (!external) return;
    var game = P.readGameFolder(external);
    setText('game-server', game.testServer ? '体验服' : '官方服');
    setText('game-folder', game.folder || '未设置，请先选择游戏目录');
    byId('game-folder').title = game.folder;
    if (portalAddons) portalAddons.restore();
  }

  // ---- add-ons ------------------------------------------------------------------------

  var kStateText = {
    idle: '', starting: '正在连接……', downloading: '下载中', paused: '已暂停', failed: '下载失败',
    verifying: '正在校验', damaged: '文件已损坏', installing: '正在安装', installed: '已安装',
    installFailed: '安装失败'
  };

  function element(tag, className, text) {
    var node = document.createElement(tag);
    if (className) node.className = className;
    if (text !== undefined) node.textContent = text;
    return node;
  }

  function makeCard(addon) {
    var info = addon.info;
    var card = element('div', 'addon');
    var head = element('div', 'addon-head');
    head.appendChild(element('span', 'addon-name', info.name));
    head.appendChild(element('span', 'addon-version', 'v' + info.version));
    head.appendChild(element('span', 'addon-size', P.formatSize(info.size)));
    card.appendChild(head);
    card.appendChild(element('div', 'addon-summary', info.summary));
    var bar = element('div', 'bar');
    var fill = element('div', 'fill');
    bar.appendChild(fill);
    card.appendChild(bar);
    var foot = element('div', 'addon-foot');
    var text = element('span', 'addon-status', '');
    foot.appendChild(text);
    var buttons = element('span', 'addon-buttons');
    var main = element('button', 'small', '下载');
    var pause = element('button', 'small', '暂停');
    var remove = element('button', 'small', '移除');
    buttons.appendChild(main);
    buttons.appendChild(pause);
    if (info.place && info.place.length) buttons.appendChild(remove);
    foot.appendChild(buttons);
    card.appendChild(foot);

    main.addEventListener('click', action(function () { portalAddons.download(info.id); }), false);
    pause.addEventListener('click', action(function () { portalAddons.pause(info.id); }), false);
    remove.addEventListener('click', action(function () { portalAddons.remove(info.id); }), false);
    cards[info.id] = {fill: fill, text: text, main: main, pause: pause, remove: remove};
    return card;
  }

  // Speed and time left of running downloads, once a second while one runs: an idle page
  // keeps no timer (every change of state passes through paintCard).
  var figuresTimer = null;

  function watchFigures() {
    var running = false;
    for (var i = 0; portalAddons && i < portalAddons.addons.length; i++) {
      if (portalAddons.addons[i].state === 'downloading') running = true;
    }
    if (running && figuresTimer === null && external) {
      figuresTimer = window.setInterval(function () { portalAddons.refreshFigures(); }, 1000);
    } else if (!running && figuresTimer !== null) {
      window.clearInterval(figuresTimer);
      figuresTimer = null;
    }
  }

  function paintCard(addon) {
    watchFigures();
    var card = cards[addon.info.id];
    if (!card) return;
    var percent = addon.state === 'installed' ? 100 : addon.percent;
    card.fill.style.width = percent + '%';
    var label = kStateText[addon.state] || '';
    var detail = addon.detail;
    if (addon.state === 'downloading') {
      label += ' ' + addon.percent + '%';
      if (addon.speed >= 0) label += ' · ' + P.formatSpeed(addon.speed);
      if (addon.secondsLeft >= 0) label += ' · ' + P.formatTimeLeft(addon.secondsLeft);
      if (addon.bytesDone >= 0) {
        detail = '已下载 ' + P.formatSize(addon.bytesDone) + ' / ' + P.formatSize(addon.info.size);
      }
    }
    card.text.textContent = addon.message || label;
    // The whole text, and the folder it is about, when the line is too short for them.
    card.text.title = (addon.message || label) + (detail ? '\n' + detail : '');
    var busy = addon.state === 'downloading' || addon.state === 'starting' ||
        addon.state === 'verifying' || addon.state === 'installing';
    card.main.textContent = addon.state === 'paused' || addon.state === 'failed' ? '继续' :
        (addon.state === 'installed' || addon.state === 'installFailed' ? '重新安装' :
        (addon.state === 'damaged' ? '重新下载' : '下载'));
    card.main.disabled = busy || !external;
    card.pause.disabled = addon.state !== 'downloading' || !external;
    card.remove.disabled = busy || !external;
    // Only what is installed can be removed.
    card.remove.style.display = addon.state === 'installed' ? '' : 'none';
  }

  function loadAddons() {
    getJson('/addons/catalogue.json', function (catalogue) {
      var list = byId('addon-list');
      list.innerHTML = '';
      if (!catalogue || !catalogue.addons) {
        list.appendChild(element('div', 'empty', '插件列表读取失败，请稍后刷新。'));
        return;
      }
      portalAddons = new P.AddonController(external, origin, catalogue.addons, paintCard);
      // "正在校验" is painted before the digest is taken.
      portalAddons.defer = function (step) { window.setTimeout(step, 20); };
      if (external) portalAddons.restore();
      for (var i = 0; i < portalAddons.addons.length; i++) {
        list.appendChild(makeCard(portalAddons.addons[i]));
        paintCard(portalAddons.addons[i]);
      }
      if (!portalAddons.addons.length) list.appendChild(element('div', 'empty', '暂无插件。'));
    });
  }

  // ---- account ------------------------------------------------------------------------

  function showAccount(uid) {
    show('login-form', !uid);
    show('account-info', !!uid);
    setText('account-uid', uid || '');
  }

  function login() {
    var name = byId('login-name').value;
    var password = byId('login-password').value;
    if (!name || !password) {
      status('用户名或密码不能为空!');
      return;
    }
    var request = new XMLHttpRequest();
    request.onreadystatechange = function () {
      if (request.readyState !== 4) return;
      if (request.status !== 200) {
        status(P.loginFailureText(request.status));
        return;
      }
      var reply = P.parseLoginReply(request.responseText);
      status(reply.message);
      if (!reply.ok) return;
      byId('login-password').value = '';
      P.call(external, 'web_UserLogin', [reply.uid, reply.token], false);
      showAccount(reply.uid);
    };
    request.open('GET', P.loginAddress(origin, name, password) + '&_=' + new Date().getTime(), true);
    request.send(null);
  }

  function logout() {
    P.call(external, 'web_UserLogout', [], false);
    showAccount('');
    status('已退出登录。');
  }

  // ---- update -------------------------------------------------------------------------

  function checkUpdate(clientVersion) {
    getJson('/manager/update/latest.json', function (latest) {
      if (!latest || !latest.version || !clientVersion) return;
      if (P.compareVersions(latest.version, clientVersion) <= 0) return;
      setText('latest-version', latest.version);
      show('update-box', true);
      // The client asks the user (or updates at once, by its setting).
      P.call(external, 'web_UpdateBegin', [], false);
    });
  }

  // ---- start --------------------------------------------------------------------------

  function start() {
    external = connectClient();
    var clientVersion = query.ClientVersion || '';
    setText('client-version', clientVersion || '未知');
    showAccount(query.UID || '');

    if (!external) {
      show('notice', true);
      setText('notice', '请在泽瓦助手客户端中打开本页面：下载插件、选择游戏目录和启动游戏需要客户端。');
      var buttons = document.getElementsByTagName('button');
      for (var i = 0; i < buttons.length; i++) {
        if (buttons[i].id !== 'welcome-close') buttons[i].disabled = true;
      }
    }
    if (query.SetUp === 'true') show('welcome', true);

    on('welcome-close', 'click', function () { show('welcome', false); });
    on('find-folder', 'click', action(function () {
      P.call(external, 'web_FindFolder', [], false);
      refreshGameFolder();
    }));
    on('open-settings', 'click', action(function () { P.call(external, 'web_OpenSetWnd', [], false); }));
    on('start-game', 'click', action(function () {
      status(P.startGame(external, function (question) { return window.confirm(question); }).message);
    }));
    on('use-thunder', 'click', action(function () { P.call(external, 'web_UseThunder', [], false); }));
    on('update-now', 'click', action(function () { P.call(external, 'web_UpdateBegin', [], false); }));
    on('login-button', 'click', action(login));
    on('login-password', 'keydown', function (event) { if (event.keyCode === 13) action(login)(event); });
    on('logout-link', 'click', action(logout));
    // The settings window may change the folder; read it again when the page comes back, and
    // when the client says its settings were saved. That report arrives inside a call from the
    // client: the page reads its settings once the call has returned.
    window.addEventListener('focus', refreshGameFolder, false);
    portalSettingsSaved = function () { window.setTimeout(refreshGameFolder, 0); };

    refreshGameFolder();
    loadAddons();
    checkUpdate(clientVersion);
    // Tests wait for this before they click.
    document.documentElement.setAttribute('data-zeva-ready', external ? 'client' : 'browser');
  }

  if (document.readyState === 'loading') {
    document.addEventListener('DOMContentLoaded', start, false);
  } else {
    start();
  }
})();
