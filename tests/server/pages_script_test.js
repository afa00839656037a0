// The portal pages' script: syntax any engine accepts, no ES2015+ (the IE control runs it
// in IE11 mode), no user-agent sniffing, and the page logic against a fake window.external.
// usage: node pages_script_test.js SITE_FOLDER
'use strict';

var fs = require('fs');
var path = require('path');
var vm = require('vm');
var assert = require('assert');

var site = process.argv[2];
var failures = 0;

function test(name, body) {
  try {
    body();
    console.log('ok   ' + name);
  } catch (e) {
    failures++;
    console.log('FAIL ' + name + '\n     ' + (e && e.stack ? e.stack : e));
  }
}

function scripts(folder) {
  var found = [];
  fs.readdirSync(folder).forEach(function (name) {
    var full = path.join(folder, name);
    if (fs.statSync(full).isDirectory()) found = found.concat(scripts(full));
    else if (/\.js$/.test(name)) found.push(full);
  });
  return found;
}

// Code without comments and without the contents of string literals.
function codeOnly(source) {
  var out = '';
  var i = 0;
  while (i < source.length) {
    var c = source[i];
    var next = source[i + 1];
    if (c === '/' && next === '/') {
      while (i < source.length && source[i] !== '\n') i++;
    } else if (c === '/' && next === '*') {
      i = source.indexOf('*/', i + 2);
      i = i < 0 ? source.length : i + 2;
      out += ' ';
    } else if (c === '"' || c === "'" || c === '`') {
      out += c === '`' ? '`' : '""';
      i++;
      while (i < source.length && source[i] !== c) i += source[i] === '\\' ? 2 : 1;
      i++;
    } else {
      out += c;
      i++;
    }
  }
  return out;
}

var kForbidden = [
  [/=>/, 'arrow function'],
  [/\b(let|const|class|import|export|yield|async|await)\b/, 'ES2015+ keyword'],
  [/`/, 'template literal'],
  [/\.\.\./, 'spread or rest'],
  [/\bfetch\s*\(/, 'fetch'],
  [/\b(Promise|Symbol|Map|Set|WeakMap|Proxy|Reflect)\b/, 'ES2015+ built-in'],
  [/\bfor\s*\([^)]*\bof\b/, 'for...of'],
  [/\.(includes|startsWith|endsWith|repeat|padStart|padEnd|findIndex|find|assign|from)\s*\(/,
    'method IE11 lacks'],
  [/\buserAgent\b|\bappVersion\b/, 'user-agent sniffing']
];

var files = scripts(site);
test('site has scripts', function () { assert.ok(files.length >= 2, 'no .js files in ' + site); });

files.forEach(function (file) {
  var source = fs.readFileSync(file, 'utf8');
  test('syntax ' + path.basename(file), function () { new vm.Script(source, {filename: file}); });
  test('ES5 only ' + path.basename(file), function () {
    var code = codeOnly(source);
    kForbidden.forEach(function (rule) {
      var match = rule[0].exec(code);
      assert.ok(!match, rule[1] + ' in ' + file + ': "' + (match && match[0]) + '"');
    });
  });
});

// ---- page logic with a fake client ---------------------------------------------------

function loadLogic() {
  var context = vm.createContext({});
  vm.runInContext(fs.readFileSync(path.join(site, 'CF30', 'portal_logic.js'), 'utf8'), context);
  return context.ZevaPortal;
}

function FakeClient(appPath, config) {
  this.appPath = appPath;
  this.config = config || {};
  this.calls = [];
  this.answers = {};
}
FakeClient.prototype.record = function (name, args) {
  this.calls.push([name].concat(Array.prototype.slice.call(args)));
  return this.answers[name];
};
FakeClient.prototype.named = function (name) {
  return this.calls.filter(function (call) { return call[0] === name; });
};
['DownloadFile', 'PauseDownload', 'UnzipFile', 'CopyFile', 'DeleteFile', 'RunExe',
 'web_StartWndThread', 'web_UpdateBegin', 'SetCallBack', 'GetFileSha256', 'GetDiskFreeSpace',
 'GetDownloadedBytes', 'GetDownloadSpeed', 'GetDownloadTimeLeft'].forEach(function (name) {
  FakeClient.prototype[name] = function () { return this.record(name, arguments); };
});
FakeClient.prototype.web_IsClient = function () { return true; };
FakeClient.prototype.GetAppPath = function () { return this.appPath; };
// With `existing` (paths that exist, '*' patterns as prefixes) it answers as the client
// would; else as scripted.
FakeClient.prototype.GetFilePath = function (path) {
  this.record('GetFilePath', arguments);
  if (!this.existing) return this.answers.GetFilePath;
  var found = this.existing.some(function (file) {
    return path.charAt(path.length - 1) === '*' ? file.indexOf(path.slice(0, -1)) === 0 : file === path;
  });
  return found ? path.substring(0, path.lastIndexOf(this.appPath.slice(-1)) + 1) : '';
};
FakeClient.prototype.SetConfigString = function (section, key, value, file) {
  this.record('SetConfigString', arguments);
  assert.strictEqual(file, this.appPath + 'config.ini');
  this.config[section + '/' + key] = value;
  return 1;
};
FakeClient.prototype.GetConfigString = function (section, key, file) {
  this.record('GetConfigString', arguments);
  assert.strictEqual(file, this.appPath + 'config.ini');
  return this.config[section + '/' + key] || '';
};

var P = loadLogic();

test('query values reach the page', function () {
  var query = P.parseQuery('?ToolId=1&SetUp=true&ClientVersion=V3.0.6&UID=%e7%8e%a9%e5%ae%b6&UWD=a+b&bad=%e7');
  assert.strictEqual(query.SetUp, 'true');
  assert.strictEqual(query.ClientVersion, 'V3.0.6');
  assert.strictEqual(query.UID, '玩家');
  assert.strictEqual(query.UWD, 'a b');
  assert.strictEqual(query.bad, '%e7');
  assert.strictEqual(P.parseQuery('').SetUp, undefined);
});

test('versions compare by number', function () {
  assert.ok(P.compareVersions('V3.0.10', 'V3.0.9') > 0);
  assert.ok(P.compareVersions('V3.0.6', 'V3.0.7') < 0);
  assert.strictEqual(P.compareVersions('V3.0', 'V3.0.0'), 0);
});

test('separator follows GetAppPath', function () {
  assert.strictEqual(P.separatorFor('C:\\ZEVA\\'), '\\');
  assert.strictEqual(P.separatorFor('/home/a/zeva/'), '/');
  assert.strictEqual(P.joinPath('C:\\CF', 'QQLogin.exe', '\\'), 'C:\\CF\\QQLogin.exe');
  assert.strictEqual(P.joinPath('/games/cf/', 'QQLogin.exe', '/'), '/games/cf/QQLogin.exe');
});

test('no client: web_IsClient missing or throwing', function () {
  assert.strictEqual(P.isClient(undefined), false);
  assert.strictEqual(P.isClient({}), false);
  assert.strictEqual(P.isClient({web_IsClient: function () { throw new Error('denied'); }}), false);
  assert.strictEqual(P.isClient(new FakeClient('/z/')), true);
});

test('game folder: FOLDER, or FOLDER_TYF when run is 1', function () {
  var client = new FakeClient('C:\\ZEVA\\', {'CF Info/FOLDER': 'C:\\CF', 'CF Info/FOLDER_TYF': 'D:\\TYF'});
  assert.strictEqual(P.readGameFolder(client).folder, 'C:\\CF');
  client.config['system/run'] = '1';
  assert.strictEqual(P.readGameFolder(client).folder, 'D:\\TYF');
  client.config['system/run'] = 'true';
  assert.strictEqual(P.readGameFolder(client).folder, 'C:\\CF');
});

test('start game runs the launcher, then the window-mode watcher', function () {
  var client = new FakeClient('/opt/zeva/', {'CF Info/FOLDER': '/games/cf', 'system/wnd': '1'});
  client.answers.RunExe = true;
  assert.ok(P.startGame(client).ok);
  assert.deepStrictEqual(client.named('RunExe')[0], ['RunExe', '/games/cf/QQLogin.exe']);
  assert.strictEqual(client.named('web_StartWndThread').length, 1);

  var failing = new FakeClient('C:\\Z\\', {'CF Info/FOLDER': 'C:\\CF'});
  failing.answers.RunExe = false;
  assert.ok(!P.startGame(failing).ok);
  assert.strictEqual(failing.named('web_StartWndThread').length, 0);

  var noFolder = new FakeClient('C:\\Z\\', {});
  assert.ok(!P.startGame(noFolder).ok);
  assert.strictEqual(noFolder.named('RunExe').length, 0);
});

test('window mode "1" starts the watcher, "0" never, anything else asks first', function () {
  [
    // [wnd, the player's answer (null: not asked), watchers started]
    ['1', null, 1], ['2', true, 1], ['2', false, 0], ['0', null, 0], ['', true, 1], ['on', false, 0]
  ].forEach(function (row) {
    var client = new FakeClient('/opt/zeva/', {'CF Info/FOLDER': '/games/cf', 'system/wnd': row[0]});
    client.answers.RunExe = true;
    var asked = [];
    var result = P.startGame(client, function (question) { asked.push(question); return row[1]; });
    assert.ok(result.ok, row.join());
    assert.deepStrictEqual(asked, row[1] === null ? [] : ['是否以窗口化模式启动游戏？'], row.join());
    assert.strictEqual(client.named('web_StartWndThread').length, row[2], row.join());
  });
  // Nobody to ask: no watcher.
  var silent = new FakeClient('/opt/zeva/', {'CF Info/FOLDER': '/games/cf', 'system/wnd': '2'});
  silent.answers.RunExe = true;
  assert.ok(P.startGame(silent).ok);
  assert.strictEqual(silent.named('web_StartWndThread').length, 0);
});

test('login reply and address', function () {
  var ok = P.parseLoginReply('1|10002|abcdef0123456789|登录成功，欢迎您，玩家一号\n');
  assert.ok(ok.ok);
  assert.strictEqual(ok.uid, '10002');
  assert.strictEqual(ok.token, 'abcdef0123456789');
  assert.strictEqual(P.parseLoginReply('0|用户名或密码错误').message, '用户名或密码错误');
  assert.ok(!P.parseLoginReply('<html>').ok);
  assert.ok(!P.parseLoginReply('1||').ok);
  assert.strictEqual(P.loginAddress('http://h:8088', '玩 家', 'a&b'),
      'http://h:8088/ajax.php?action=login&rcode=%E7%8E%A9%20%E5%AE%B6%09a%26b&appid=17');
});

test('tool key halves follow the client', function () {
  assert.strictEqual(P.toolKey(17, 3), '17:3');
  assert.strictEqual(P.toolKey(5, -1), '4:-1');
});

var catalogue = [
  {id: 'crosshair', name: '准星', version: '1.0', size: 10, url: '/addons/crosshair.zip',
   file: 'crosshair-1.0.zip', unpack: {base: 'game', folder: 'zeva\\crosshair'}, place: []},
  {id: 'wndmode', name: '窗口化', version: '2.1', size: 10, url: '/addons/wndmode.zip',
   file: 'wndmode-2.1.zip', unpack: {base: 'client', folder: 'Downloads\\wndmode'},
   place: ['hook.dll', 'dbghelp.dll', 'Msimg32.dll']}
];

test('download, progress, unzip into the game folder', function () {
  var client = new FakeClient('/opt/zeva/', {'CF Info/FOLDER': '/games/cf'});
  client.answers.DownloadFile = 1;
  client.answers.UnzipFile = 1;
  var seen = [];
  var addons = new P.AddonController(client, 'http://127.0.0.1:8088', catalogue,
      function (addon) { seen.push(addon.state + ':' + addon.percent); });
  assert.ok(addons.download('crosshair'));
  assert.deepStrictEqual(client.named('DownloadFile')[0],
      ['DownloadFile', 'http://127.0.0.1:8088/addons/crosshair.zip', 'crosshair-1.0.zip', 17, 1]);
  assert.ok(addons.progress(1, 17, 1, 40));
  assert.strictEqual(addons.lookup('crosshair').percent, 40);
  assert.ok(!addons.progress(1, 17, 9, 40), 'a report for another key is not ours');
  addons.progress(2, 17, 1, 100);
  assert.deepStrictEqual(client.named('UnzipFile')[0],
      ['UnzipFile', '/opt/zeva/Downloads/crosshair-1.0.zip', '/games/cf/zeva/crosshair/']);
  assert.strictEqual(addons.lookup('crosshair').state, 'installed');
  assert.strictEqual(seen[0], 'downloading:0');
});

test('pause and resume continue the same file', function () {
  var client = new FakeClient('C:\\ZEVA\\', {'CF Info/FOLDER': 'C:\\CF'});
  client.answers.DownloadFile = 1;
  client.answers.PauseDownload = 1;
  var addons = new P.AddonController(client, 'http://h', catalogue, null);
  addons.download('crosshair');
  addons.progress(1, 17, 1, 10);
  assert.ok(addons.pause('crosshair'));
  assert.deepStrictEqual(client.named('PauseDownload')[0], ['PauseDownload', 17, 1]);
  addons.progress(-100, 17, 1, 0);
  assert.strictEqual(addons.lookup('crosshair').state, 'paused');
  assert.ok(addons.download('crosshair'));
  assert.strictEqual(client.named('DownloadFile')[1][2], 'crosshair-1.0.zip');
  addons.progress(-1, 17, 1, 0);
  assert.strictEqual(addons.lookup('crosshair').state, 'failed');
});

test('a failure reported inside DownloadFile is kept', function () {
  var client = new FakeClient('C:\\ZEVA\\', {'CF Info/FOLDER': 'C:\\CF'});
  var addons = new P.AddonController(client, 'http://h', catalogue, null);
  client.DownloadFile = function () { addons.progress(-1, 17, 1, 0); return 1; };
  addons.download('crosshair');
  assert.strictEqual(addons.lookup('crosshair').state, 'failed');
});

test('refused download and missing game folder', function () {
  var client = new FakeClient('C:\\ZEVA\\', {});
  client.answers.DownloadFile = 0;
  var addons = new P.AddonController(client, 'http://h', catalogue, null);
  assert.ok(!addons.download('crosshair'), 'no game folder yet');
  assert.strictEqual(client.named('DownloadFile').length, 0);
  client.config['CF Info/FOLDER'] = 'C:\\CF';
  assert.ok(!addons.download('crosshair'));
  assert.strictEqual(addons.lookup('crosshair').state, 'idle');
});

test('window-mode add-on places its hook files in the game folder', function () {
  var client = new FakeClient('C:\\ZEVA\\', {'system/run': '1', 'CF Info/FOLDER_TYF': 'D:\\CF TYF'});
  client.answers.DownloadFile = 1;
  client.answers.UnzipFile = 1;
  client.answers.CopyFile = 1;
  var addons = new P.AddonController(client, 'http://h', catalogue, null);
  addons.download('wndmode');
  addons.progress(2, 17, 2, 100);
  assert.deepStrictEqual(client.named('UnzipFile')[0],
      ['UnzipFile', 'C:\\ZEVA\\Downloads\\wndmode-2.1.zip', 'C:\\ZEVA\\Downloads\\wndmode\\']);
  assert.deepStrictEqual(client.named('CopyFile').map(function (c) { return c.slice(1); }), [
    ['C:\\ZEVA\\Downloads\\wndmode\\hook.dll', 'D:\\CF TYF\\hook.dll'],
    ['C:\\ZEVA\\Downloads\\wndmode\\dbghelp.dll', 'D:\\CF TYF\\dbghelp.dll'],
    ['C:\\ZEVA\\Downloads\\wndmode\\Msimg32.dll', 'D:\\CF TYF\\Msimg32.dll']]);
  assert.strictEqual(addons.lookup('wndmode').state, 'installed');

  client.answers.GetFilePath = 'D:\\CF TYF\\';
  client.answers.DeleteFile = 1;
  assert.ok(addons.remove('wndmode'));
  assert.strictEqual(client.named('DeleteFile').length, 3);
});

test('unzip and copy failures are shown, not hidden', function () {
  var client = new FakeClient('C:\\ZEVA\\', {'CF Info/FOLDER': 'C:\\CF'});
  client.answers.UnzipFile = 0;
  var addons = new P.AddonController(client, 'http://h', catalogue, null);
  addons.progress(2, 17, 1, 100);
  assert.strictEqual(addons.lookup('crosshair').state, 'installFailed');
  client.answers.UnzipFile = 1;
  client.answers.CopyFile = 0;
  addons.progress(2, 17, 2, 100);
  assert.strictEqual(addons.lookup('wndmode').state, 'installFailed');
  assert.ok(/hook\.dll/.test(addons.lookup('wndmode').message));
});

test('installed add-ons are known again after a restart while their files are there', function () {
  var client = new FakeClient('/opt/zeva/', {'CF Info/FOLDER': '/games/cf'});
  client.answers.DownloadFile = 1;
  client.answers.UnzipFile = 1;
  var first = new P.AddonController(client, 'http://h', catalogue, null);
  first.download('crosshair');
  first.progress(2, 17, 1, 100);
  assert.strictEqual(client.config['addons/crosshair'], '1.0|/games/cf/zeva/crosshair/');

  client.existing = ['/games/cf/zeva/crosshair/red.cfg'];
  var again = new P.AddonController(client, 'http://h', catalogue, null);
  again.restore();
  assert.strictEqual(again.lookup('crosshair').state, 'installed');
  assert.strictEqual(again.lookup('crosshair').percent, 100);
  assert.strictEqual(again.lookup('wndmode').state, 'idle');

  // Files gone: offered again, and the record forgotten.
  client.existing = [];
  var emptied = new P.AddonController(client, 'http://h', catalogue, null);
  emptied.restore();
  assert.strictEqual(emptied.lookup('crosshair').state, 'idle');
  assert.strictEqual(client.config['addons/crosshair'], '');

  // A newer version on the server: offered as an update.
  client.config['addons/crosshair'] = '0.9|/games/cf/zeva/crosshair/';
  client.existing = ['/games/cf/zeva/crosshair/red.cfg'];
  var older = new P.AddonController(client, 'http://h', catalogue, null);
  older.restore();
  assert.strictEqual(older.lookup('crosshair').state, 'idle');
  assert.ok(/1\.0/.test(older.lookup('crosshair').message));
});

test('a placed add-on counts only with all its files; removal forgets it', function () {
  var client = new FakeClient('C:\\ZEVA\\', {'CF Info/FOLDER': 'C:\\CF',
    'addons/wndmode': '2.1|C:\\ZEVA\\Downloads\\wndmode\\'});
  client.existing = ['C:\\CF\\hook.dll', 'C:\\CF\\dbghelp.dll'];
  var addons = new P.AddonController(client, 'http://h', catalogue, null);
  addons.restore();
  assert.strictEqual(addons.lookup('wndmode').state, 'idle');
  client.existing.push('C:\\CF\\Msimg32.dll');
  client.config['addons/wndmode'] = '2.1|C:\\ZEVA\\Downloads\\wndmode\\';
  addons = new P.AddonController(client, 'http://h', catalogue, null);
  addons.restore();
  assert.strictEqual(addons.lookup('wndmode').state, 'installed');
  client.answers.DeleteFile = 1;
  assert.ok(addons.remove('wndmode'));
  assert.strictEqual(addons.lookup('wndmode').percent, 0);
  assert.strictEqual(client.config['addons/wndmode'], '');
});

test('an add-on is installed only in the game folder it went into; its record stays', function () {
  var client = new FakeClient('C:\\ZEVA\\', {'CF Info/FOLDER': 'C:\\CF'});
  client.answers.UnzipFile = 1;
  client.answers.CopyFile = 1;
  var addons = new P.AddonController(client, 'http://h', catalogue, null);
  addons.progress(2, 17, 1, 100);
  addons.progress(2, 17, 2, 100);
  var records = {crosshair: '1.0|C:\\CF\\zeva\\crosshair\\',
                 wndmode: '2.1|C:\\ZEVA\\Downloads\\wndmode\\|C:\\CF'};
  client.existing = ['C:\\CF\\zeva\\crosshair\\red.cfg', 'C:\\CF\\hook.dll', 'C:\\CF\\dbghelp.dll',
                     'C:\\CF\\Msimg32.dll'];
  [
    // [game folder now, state of both]
    ['D:\\Other', 'idle'], ['c:/cf\\', 'installed'], ['', 'idle'], ['C:\\CF\\zeva', 'idle'],
    ['C:\\CF', 'installed']
  ].forEach(function (row) {
    client.config['CF Info/FOLDER'] = row[0];
    addons.restore();
    ['crosshair', 'wndmode'].forEach(function (id) {
      var addon = addons.lookup(id);
      assert.strictEqual(addon.state, row[1], id + ' in ' + row[0]);
      assert.strictEqual(client.config['addons/' + id], records[id], id + ' in ' + row[0]);
      if (row[1] === 'idle') assert.strictEqual(addon.message, '当前游戏目录中未安装。');
      if (row[0] === 'D:\\Other') assert.ok(/C:\\CF$/.test(addon.detail), addon.detail);
    });
  });
});

test('removal deletes the placed files where they went, and says so only then', function () {
  var client = new FakeClient('C:\\ZEVA\\', {'CF Info/FOLDER': 'D:\\New',
    'addons/wndmode': '2.1|C:\\ZEVA\\Downloads\\wndmode\\|C:\\CF'});
  client.existing = ['C:\\CF\\hook.dll', 'C:\\CF\\dbghelp.dll', 'C:\\CF\\Msimg32.dll', 'D:\\New\\hook.dll'];
  var refuse = 'dbghelp.dll';
  client.DeleteFile = function (file) {
    this.record('DeleteFile', arguments);
    return file.slice(-refuse.length) === refuse ? 0 : 1;
  };
  var addons = new P.AddonController(client, 'http://h', catalogue, null);
  var addon = addons.lookup('wndmode');
  addon.state = 'installed';  // as shown before the folder changed
  assert.ok(!addons.remove('wndmode'));
  assert.deepStrictEqual(client.named('DeleteFile').map(function (c) { return c[1]; }),
      ['C:\\CF\\hook.dll', 'C:\\CF\\dbghelp.dll', 'C:\\CF\\Msimg32.dll']);
  assert.strictEqual(addon.state, 'installed');
  assert.strictEqual(addon.message, '无法删除：dbghelp.dll');
  assert.ok(client.config['addons/wndmode']);
  refuse = 'none';
  assert.ok(addons.remove('wndmode'));
  assert.strictEqual(addon.state, 'idle');
  assert.strictEqual(addon.message, '已从游戏目录移除。');
  assert.strictEqual(client.config['addons/wndmode'], '');
});

test('a new download starts its bar from nothing; a resumed one keeps its part', function () {
  var client = new FakeClient('/opt/zeva/', {'CF Info/FOLDER': '/games/cf'});
  client.answers.DownloadFile = 1;
  client.answers.UnzipFile = 1;
  var addons = new P.AddonController(client, 'http://h', catalogue, null);
  addons.download('crosshair');
  addons.progress(2, 17, 1, 100);
  assert.strictEqual(addons.lookup('crosshair').percent, 100);
  addons.download('crosshair');  // 重新安装, then it fails at once
  addons.progress(-1, 17, 1, 0);
  assert.strictEqual(addons.lookup('crosshair').percent, 0);
  addons.download('crosshair');
  addons.progress(1, 17, 1, 30);
  addons.progress(-1, 17, 1, 0);
  addons.download('crosshair');
  assert.strictEqual(addons.lookup('crosshair').percent, 30);
});

test('status texts are short; the folder goes to the detail', function () {
  var client = new FakeClient('/opt/zeva/', {'CF Info/FOLDER': '/games/a very long game folder/cf'});
  client.answers.UnzipFile = 0;
  var addons = new P.AddonController(client, 'http://h', catalogue, null);
  addons.progress(2, 17, 1, 100);
  var addon = addons.lookup('crosshair');
  assert.strictEqual(addon.message.indexOf('/'), -1);
  assert.strictEqual(addon.detail, '/games/a very long game folder/cf/zeva/crosshair/');
  client.answers.UnzipFile = 1;
  addons.progress(2, 17, 1, 100);
  assert.strictEqual(addon.message.indexOf('/'), -1);
});

var kDigest = 'ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad';
var checked = [
  {id: 'crosshair', name: '准星', version: '1.0', size: 3 * 1048576, sha256: kDigest.toUpperCase(),
   url: '/addons/crosshair.zip', file: 'crosshair-1.0.zip',
   unpack: {base: 'game', folder: 'zeva\\crosshair'}, place: []},
  {id: 'wndmode', name: '窗口化', version: '2.1', size: 2 * 1048576, sha256: kDigest,
   url: '/addons/wndmode.zip', file: 'wndmode-2.1.zip',
   unpack: {base: 'client', folder: 'Downloads\\wndmode'}, place: []}
];

test('an archive is unpacked only when its SHA-256 is the catalogue\'s', function () {
  var client = new FakeClient('C:\\ZEVA\\', {'CF Info/FOLDER': 'C:\\CF'});
  client.answers.UnzipFile = 1;
  client.answers.DeleteFile = 1;
  var deferred = [];
  var addons = new P.AddonController(client, 'http://h', checked, null);
  addons.defer = function (step) { deferred.push(step); };
  client.answers.GetFileSha256 = kDigest;
  addons.progress(2, 17, 1, 100);
  assert.strictEqual(addons.lookup('crosshair').state, 'verifying');
  assert.strictEqual(client.named('GetFileSha256').length, 0, 'hashed before the page could paint');
  deferred.shift()();
  assert.deepStrictEqual(client.named('GetFileSha256')[0],
      ['GetFileSha256', 'C:\\ZEVA\\Downloads\\crosshair-1.0.zip']);
  assert.strictEqual(addons.lookup('crosshair').state, 'installed');

  // Damaged (or unreadable): deleted, never unpacked, said in Chinese, downloaded afresh.
  ['0' + kDigest.substring(1), ''].forEach(function (digest) {
    client.calls = [];
    client.answers.GetFileSha256 = digest;
    addons.progress(2, 17, 2, 100);
    deferred.shift()();
    var addon = addons.lookup('wndmode');
    assert.strictEqual(addon.state, 'damaged');
    assert.ok(/校验失败.*已删除/.test(addon.message), addon.message);
    assert.deepStrictEqual(client.named('DeleteFile')[0],
        ['DeleteFile', 'C:\\ZEVA\\Downloads\\wndmode-2.1.zip']);
    assert.strictEqual(client.named('UnzipFile').length, 0);
    assert.strictEqual(client.config['addons/wndmode'], undefined);
    assert.strictEqual(addon.percent, 0);
  });

  // A client that cannot hash installs as before.
  var older = new FakeClient('C:\\ZEVA\\', {'CF Info/FOLDER': 'C:\\CF'});
  older.answers.UnzipFile = 1;
  older.GetFileSha256 = function () { throw new TypeError('not a function'); };
  var old = new P.AddonController(older, 'http://h', checked, null);
  old.progress(2, 17, 1, 100);
  assert.strictEqual(old.lookup('crosshair').state, 'installed');
});

test('a download starts only where its archive and its files fit', function () {
  var client = new FakeClient('C:\\ZEVA\\', {'CF Info/FOLDER': 'D:\\CF'});
  client.answers.DownloadFile = 1;
  var free = {};
  client.GetDiskFreeSpace = function (folder) {
    this.record('GetDiskFreeSpace', arguments);
    return free[folder];
  };
  var addons = new P.AddonController(client, 'http://h', checked, null);
  var MB = 1048576;
  [
    // [client disk, game disk, add-on, starts]
    [10 * MB, 10 * MB, 'crosshair', true],
    [3 * MB, 3 * MB, 'crosshair', true],
    [3 * MB - 1, 10 * MB, 'crosshair', false],
    [10 * MB, 3 * MB - 1, 'crosshair', false],
    [4 * MB - 1, 0, 'wndmode', false],  // unpacked beside the archive: twice its size
    [4 * MB, 0, 'wndmode', true],
    [-1, -1, 'crosshair', true],        // the client cannot tell
    [undefined, undefined, 'crosshair', true]
  ].forEach(function (row) {
    free['C:\\ZEVA\\'] = row[0];
    free['D:\\CF'] = row[1];
    var addon = addons.lookup(row[2]);
    addon.state = 'idle';
    client.calls = [];
    assert.strictEqual(addons.download(row[2]), row[3], row.join(' '));
    assert.strictEqual(client.named('DownloadFile').length, row[3] ? 1 : 0);
    if (!row[3]) assert.ok(/磁盘空间不足，还差 /.test(addon.message), addon.message);
  });

  // A resumed download needs only the rest of its archive.
  free['C:\\ZEVA\\'] = 1 * MB;
  free['D:\\CF'] = 10 * MB;
  client.answers.GetDownloadedBytes = 2 * MB;
  var paused = addons.lookup('crosshair');
  paused.state = 'paused';
  assert.ok(addons.download('crosshair'));
  assert.deepStrictEqual(client.named('GetDownloadedBytes').pop(), ['GetDownloadedBytes', 17, 1]);
  paused.state = 'idle';
  assert.ok(!addons.download('crosshair'), 'a new download needs the whole archive');
});

test('speed and time left come from the client while a download runs', function () {
  var client = new FakeClient('/opt/zeva/', {'CF Info/FOLDER': '/games/cf'});
  client.answers.DownloadFile = 1;
  client.answers.GetDownloadSpeed = 1.5 * 1048576;
  client.answers.GetDownloadTimeLeft = 65;
  client.answers.GetDownloadedBytes = 1048576;
  var seen = [];
  var addons = new P.AddonController(client, 'http://h', checked, function (a) { seen.push(a.state); });
  addons.download('crosshair');
  addons.refreshFigures();
  var addon = addons.lookup('crosshair');
  assert.deepStrictEqual(client.named('GetDownloadSpeed'), [['GetDownloadSpeed', 17, 1]]);
  assert.strictEqual(addon.speed, 1.5 * 1048576);
  assert.strictEqual(addon.secondsLeft, 65);
  assert.strictEqual(addon.bytesDone, 1048576);
  assert.strictEqual(client.named('GetDownloadSpeed').length, 1, 'only running downloads are asked');
  addons.progress(-100, 17, 1, 0);
  assert.strictEqual(addon.speed, -1);
  assert.strictEqual(addon.secondsLeft, -1);

  [[0, '0 KB/s'], [512000, '500 KB/s'], [1.5 * 1048576, '1.5 MB/s']].forEach(function (row) {
    assert.strictEqual(P.formatSpeed(row[0]), row[1]);
  });
  [[-1, ''], [NaN, ''], [0, '剩余 0 秒'], [58.2, '剩余 59 秒'], [59.5, '剩余 1 分 00 秒'],
   [65, '剩余 1 分 05 秒'], [3600, '剩余 1 小时 00 分'], [7322, '剩余 2 小时 02 分'],
   [400000, '剩余时间较长']].forEach(function (row) {
    assert.strictEqual(P.formatTimeLeft(row[0]), row[1], String(row[0]));
  });
  assert.strictEqual(P.formatSize(6 * 1073741824), '6.0 GB');
});

test('a login the server cannot answer says so', function () {
  assert.ok(/无法连接登录服务器/.test(P.loginFailureText(0)));
  assert.strictEqual(P.loginFailureText(503), '登录失败（错误码 503）');
});

// ---- the page itself, in a stand-in document -----------------------------------------

// index.html's elements (by id), the page's timers and requests, and its global scope.
function loadPage(client, config) {
  var byId = {};
  var timers = [];
  var requests = [];
  function node(tag) {
    var handlers = {};
    var made = {
      tagName: tag.toUpperCase(), className: '', textContent: '', title: '', value: '', style: {},
      attributes: {}, children: [],
      addEventListener: function (type, handler) { handlers[type] = handler; },
      appendChild: function (child) { made.children.push(child); },
      setAttribute: function (name, value) { made.attributes[name] = value; },
      click: function () { handlers.click({}); }
    };
    return made;
  }
  var html = fs.readFileSync(path.join(site, 'CF30', 'index.html'), 'utf8');
  html.replace(/<(\w+)[^>]*\bid="([^"]+)"/g, function (all, tag, id) { byId[id] = node(tag); });
  var page = {
    external: client, confirm: config.confirm, addEventListener: function () {},
    location: {search: '?ToolId=1&SetUp=&ClientVersion=V3.0.6', protocol: 'http:', host: 'h'},
    setTimeout: function (step, ms) { timers.push({step: step, ms: ms}); return timers.length; },
    clearTimeout: function (id) { if (timers[id - 1]) timers[id - 1].step = null; },
    XMLHttpRequest: function () {
      var request = this;
      request.open = function (method, url) { request.url = url; };
      request.send = function () { requests.push(request); };
    },
    document: {
      readyState: 'complete', documentElement: node('html'), createElement: node,
      getElementById: function (id) { return byId[id] || null; },
      getElementsByTagName: function (tag) {
        return Object.keys(byId).map(function (id) { return byId[id]; })
            .filter(function (e) { return e.tagName === tag.toUpperCase(); });
      }
    }
  };
  page.window = page;
  var context = vm.createContext(page);
  ['portal_logic.js', 'portal.js'].forEach(function (name) {
    vm.runInContext(fs.readFileSync(path.join(site, 'CF30', name), 'utf8'), context);
  });
  return {
    byId: byId, global: context,
    // The timers still to run; runs them with `run`.
    pending: function (run) {
      var live = timers.filter(function (t) { return t.step; });
      if (run) live.forEach(function (t) { var step = t.step; t.step = null; step(); });
      return live.length;
    },
    answer: function (address, body) {
      var request = requests.filter(function (r) { return r.url.indexOf(address) === 0; })[0];
      request.readyState = 4;
      request.status = 200;
      request.responseText = JSON.stringify(body);
      request.onreadystatechange();
    }
  };
}

test('the page says when it is ready, in the client and in a plain browser', function () {
  var page = loadPage(new FakeClient('/opt/zeva/', {}), {});
  assert.strictEqual(page.global.document.documentElement.attributes['data-zeva-ready'], 'client');
  page = loadPage(undefined, {});
  assert.strictEqual(page.global.document.documentElement.attributes['data-zeva-ready'], 'browser');
  assert.ok(page.byId['start-game'].disabled);
});

test('saved settings: the page reads the folder again, and no add-on takes it for a download', function () {
  var client = new FakeClient('/opt/zeva/', {'CF Info/FOLDER': '/games/cf',
    'addons/crosshair': '1.0|/games/cf/zeva/crosshair/'});
  client.existing = ['/games/cf/zeva/crosshair/red.cfg'];
  var page = loadPage(client, {});
  page.answer('/addons/catalogue.json', {addons: catalogue});
  var addon = page.global.portalAddons.lookup('crosshair');
  assert.strictEqual(addon.state, 'installed');

  client.config['CF Info/FOLDER'] = '/games/other';
  page.global.OnDownloadProgress(10, 17, 1, 0);
  assert.strictEqual(addon.state, 'installed', 'read only once the report returned');
  assert.strictEqual(page.pending(true), 1);
  assert.strictEqual(page.byId['game-folder'].textContent, '/games/other');
  assert.strictEqual(addon.state, 'idle');
  assert.strictEqual(client.config['addons/crosshair'], '1.0|/games/cf/zeva/crosshair/');
  page.global.OnDownloadProgress(10, 0, 0, 0);
  page.pending(true);
  assert.strictEqual(addon.state, 'idle');
});

test('the status line goes with the next action or after some seconds', function () {
  var asked = [];
  var client = new FakeClient('/opt/zeva/', {'CF Info/FOLDER': '/games/cf', 'system/wnd': '2'});
  client.answers.RunExe = true;
  var page = loadPage(client, {confirm: function (text) { asked.push(text); return false; }});
  var status = page.byId.status;
  page.byId['start-game'].click();
  assert.strictEqual(status.textContent, '游戏正在启动……');
  assert.deepStrictEqual(asked, ['是否以窗口化模式启动游戏？']);
  assert.strictEqual(client.named('web_StartWndThread').length, 0);
  page.byId['find-folder'].click();
  assert.strictEqual(status.textContent, '');
  assert.strictEqual(page.pending(), 0, 'no timer while the line is empty');
  page.byId['start-game'].click();
  page.byId['start-game'].click();
  assert.strictEqual(page.pending(), 1);
  page.pending(true);
  assert.strictEqual(status.textContent, '');
  assert.strictEqual(page.pending(), 0);
});

if (failures) {
  console.log(failures + ' failed');
  process.exit(1);
}
console.log('all passed');
