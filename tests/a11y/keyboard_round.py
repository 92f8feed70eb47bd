#!/usr/bin/python3
"""The program on Xvfb under openbox, with the AT-SPI bus and ngircd on 127.0.0.1:6664, played by keys alone,
in private network, pid and mount namespaces (root only). A plain client in the channel hears what it sends;
AT-SPI tells where the focus is and which controls have no name.   usage: keyboard_round.py PROGRAM"""
import atexit, contextlib, os, signal, socket, subprocess, sys, tempfile, time

if sys.argv[-1] != '--inside':
    if os.geteuid() != 0 or subprocess.run(['unshare', '-n', '-p', '-f', '--mount-proc', 'true']).returncode:
        print('SKIP: the keyboard round needs root and unshare for its private network')
        sys.exit(77)
    os.execvp('unshare', ['unshare', '-n', '-p', '-f', '--kill-child', '--mount-proc', sys.executable] + sys.argv + ['--inside'])
import gi
gi.require_version('Atspi', '2.0')
from gi.repository import Atspi, GLib  # they reach the buses only when first used

NICK, CHAT, CHANNEL = 'Ann', 'hello from the keys', 'PRIVMSG #TavarineNET_3 :...'
QUIET = {'stdout': subprocess.DEVNULL, 'stderr': subprocess.DEVNULL}
focus = {'object': None, 'moves': 0}
titles = []  # names announced as changed
alerts = []  # alerts that appeared: (name, description)

def fail(what):
    sys.exit('FAIL: ' + what)

def wait(what, condition, limit=20):
    end = time.monotonic() + limit
    while not condition():
        if time.monotonic() > end:
            fail('no ' + what)
        while GLib.MainContext.default().iteration(False):  # AT-SPI events
            pass
        time.sleep(0.02)

def start(*args, **options):
    return subprocess.Popen(args, **(options or QUIET))

def keys(*names, command='key'):
    subprocess.run(['xdotool', command, '--delay', '30', *names], check=True)

class PlainClient:
    """Somebody else in the lobby's channel, reading raw lines."""
    def __init__(self, nick='bob'):
        self.lines, self.heard, self.rest = [], 0, b''
        wait('ngircd on 6664', self.connect)
        self.send(f'NICK {nick}OnTavNET', f'USER {nick} 0 * :plain client', 'JOIN #TavarineNET_3')
        self.hear(' JOIN ')
    def connect(self):
        with contextlib.suppress(OSError):
            self.sock = socket.create_connection(('127.0.0.1', 6664))
            return not self.sock.setblocking(False)
    def send(self, *lines):
        self.sock.sendall(''.join(line + '\r\n' for line in lines).encode())
    def hear(self, text):
        """Waits for a line after the last one heard, so lines are heard in the order asked for."""
        def found():
            with contextlib.suppress(BlockingIOError):
                *lines, self.rest = (self.rest + self.sock.recv(65536)).split(b'\r\n')
                self.lines += [line.decode(errors='replace') for line in lines]
            at = next((i for i in range(self.heard, len(self.lines)) if text in self.lines[i]), None)
            self.heard = self.heard if at is None else at + 1
            return at is not None
        wait(f'{text!r} at the plain client', found)

def read(o, *properties):
    def get(p):
        with contextlib.suppress(GLib.Error, AttributeError):  # gone, never found, or no such interface
            return getattr(o, 'get_' + p)()
    return [get(p) for p in properties]

def children(o):
    return [o.get_child_at_index(i) for i in range(read(o, 'child_count')[0] or 0)]

def descendants(o):
    for child in children(o):
        yield child
        yield from descendants(child)

def live_desktop():
    Atspi.get_desktop(0).clear_cache()  # names, descriptions and states change under us
    return Atspi.get_desktop(0)

def find(name):
    return next((o for o in descendants(live_desktop()) if read(o, 'name') == [name]), None)

def check_names():
    """Windows are frames or dialogs; whatever can be acted on or holds text has a name."""
    for window in (w for app in children(live_desktop()) for w in children(app)):
        title, role = read(window, 'name', 'role_name')
        if role not in ('frame', 'dialog', None):
            fail(f'window {title!r} reports as a {role}')
        for o in descendants(window):
            name, role, acts, chars, kinds = read(o, 'name', 'role_name', 'n_actions', 'character_count', 'interfaces')
            if (acts or chars or 'EditableText' in (kinds or [])) and not name:
                fail(f'a {role} on {title!r} has no name')

def on_focus(event):
    if event.detail1:
        focus['object'], focus['moves'] = event.source, focus['moves'] + 1

def on_rename(event):
    event.source.clear_cache()  # the event's own value is not the name
    titles.append(read(event.source, 'name')[0])

def on_showing(event):
    if event.detail1 and read(event.source, 'role_name') == ['alert']:
        event.source.clear_cache()
        alerts.append(tuple(read(event.source, 'name', 'description')))

def focused(what='name'):
    return read(focus['object'], what)[0]

def move_focus(to, key='Tab', role='push button'):
    """Presses the key until the focus is on the control named, which must have the role given."""
    for _ in range(20):
        moves = focus['moves']  # before reading: a read may deliver the next focus event
        if focused() == to:
            return focused('role_name') == role or fail(f'{to!r} reports as a {focused("role_name")}')
        key and keys(key)
        wait(f'focus on {to!r} (it is on {focused()!r})', lambda: focus['moves'] > moves)
    fail(f'{key} never reaches {to!r}')

def described(name, description):
    wait(f'{name!r} described as {description!r}', lambda: read(find(name), 'description') == [description])

def main(program):
    # Bus, server and launcher files in a folder of the round's own, a tmpfs gone with it even when it is killed.
    # Not over /tmp: the program under test may live there.
    T = tempfile.mkdtemp(prefix='keyboard-round-')
    subprocess.run(['mount', '-t', 'tmpfs', 'tmpfs', T], check=True)
    def remove_private_folder():
        subprocess.run(['umount', '-l', T])
        with contextlib.suppress(OSError):
            os.rmdir(T)
    atexit.register(remove_private_folder)
    subprocess.run(['ip', 'link', 'set', 'lo', 'up'], check=True)
    os.makedirs(T + '/xdg', mode=0o700)  # the AT-SPI bus's socket, named after the display, and caches stay in here
    os.environ.update(HOME=T, XDG_RUNTIME_DIR=T + '/xdg')
    ready, told = os.pipe()  # -noreset: a client that only peeks (AT-SPI) would reset it and cut off one connecting
    start('Xvfb', '-displayfd', str(told), '-screen', '0', '1024x768x24', '-nolisten', 'tcp', '-noreset', pass_fds=[told], **QUIET)
    os.environ['DISPLAY'] = ':' + os.read(ready, 16).decode().strip()
    bus = start('dbus-daemon', '--session', '--nofork', '--print-address', stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
    os.environ['DBUS_SESSION_BUS_ADDRESS'] = bus.stdout.readline().decode().strip()
    start('openbox', '--sm-disable', '--startup', f'touch {T}/wm-up')
    os.makedirs(T + '/irc/conf.d')
    os.chmod(T, 0o755)
    os.chmod(T + '/irc', 0o777)  # ngircd drops root for nobody
    with open(T + '/irc/ngircd.conf', 'w') as conf:
        conf.write('[Global]\nName = irc.test.local\nInfo = test\nListen = 127.0.0.1\nPorts = 6664\nMotdPhrase = "test"\n'
                   f'PidFile = {T}/irc/ngircd.pid\n[Limits]\nMaxNickLength = 31\nMaxConnectionsIP = 0\nMaxJoins = 0\n'
                   f'[Options]\nDNS = no\nIdent = no\nPAM = no\nIncludeDir = {T}/irc/conf.d\n')
    ircd = start('ngircd', '-n', '-f', T + '/irc/ngircd.conf')
    for stand_in in ('gxexec.exe', 'xdg-open'):  # the launcher and the desktop's link opener record their arguments
        with open(f'{T}/{stand_in}', 'w') as script:
            script.write(f'#!/bin/sh\nprintf "%s\\n" "{stand_in} $*" >> {T}/starts\n')
        os.chmod(f'{T}/{stand_in}', 0o755)
    open(T + '/starts', 'w').close()
    env = dict(os.environ, QT_LINUX_ACCESSIBILITY_ALWAYS_ON='1', QT_QPA_PLATFORM='xcb', PATH=T + ':' + os.environ['PATH'])
    listeners = [Atspi.EventListener.new(f) for f in (on_focus, on_rename, on_showing)]  # they must stay alive
    listeners[0].register('object:state-changed:focused')
    listeners[1].register('object:property-change:accessible-name')
    listeners[2].register('object:state-changed:showing')
    wait('window manager', lambda: os.path.exists(T + '/wm-up'))
    bob = PlainClient()

    print('1. log in and pick lobby 3; the log window while the server is slow', flush=True)
    os.kill(ircd.pid, signal.SIGSTOP)  # the connection waits in the server's backlog
    lobby = start(program, env=env)
    move_focus('Nickname', None, 'text')
    keys(NICK, command='type')
    keys('Return')
    move_focus('Lobby 0', None)
    check_names()
    move_focus('Lobby 3', 'Right')
    keys('Return')
    move_focus('Message', None, 'text')
    move_focus('View Log')
    keys('Return')
    move_focus('Data in', None, 'text')
    check_names()
    move_focus('Data out', 'Tab', 'text')
    keys('Escape')
    move_focus('View Log', None)
    os.kill(ircd.pid, signal.SIGCONT)
    bob.hear(f'{NICK}OnTavNET@127.0.0.1 JOIN')
    wait('announcement of the caption', lambda: f'Tavarine IRC Client, Connected, Logged in As: {NICK} in Lobby: 3' in titles)
    check_names()

    print('2. take hut place 2 (bob hosts in place 1)', flush=True)
    bob.send(CHANNEL + 'TAVHUT1 bob> 1|||')
    described('Hut place 1', 'bob')
    move_focus('Hut place 2')
    keys('space')
    bob.hear(f'...TAVHUT1 {NICK}> 2|||')
    described('Hut place 2', 'you')

    print('3. a room message; a chat line typed while a link comes, then the link opened', flush=True)
    bob.send(CHANNEL + 'TAVMSG tonight at nine|||')
    wait('room message window', lambda: find('Room message'))
    check_names()
    move_focus('Message', 'Tab', 'text')
    keys(CHAT[:5], command='type')
    bob.send(CHANNEL + 'TAVLNK http://example.test/|||')
    wait('link bar heard', lambda: ('Posted link', 'bob posted a link: example.test \u2014 /') in alerts)
    keys(CHAT[5:], command='type')
    keys('Return')
    bob.hear(f'...TAVCHAT {NICK}> {CHAT}|||')
    check_names()
    wait('Open armed', lambda: Atspi.StateType.SENSITIVE in read(find('Open link'), 'state_set')[0].get_states())
    move_focus('Open link')
    keys('space')
    starts = lambda: open(T + '/starts').read().splitlines()  # a stand-in may outlive what started it
    wait('the link opened', lambda: 'xdg-open http://example.test/' in starts())

    print('4. leave the hut', flush=True)
    move_focus('Leave the hut')
    keys('Return')
    bob.hear(f'...TAVHUT1EXIT {NICK}> 2|||')
    described('Hut place 2', 'free')
    bob.send(CHANNEL + 'TAVHUT1EXIT bob> 1|||')
    described('Hut place 1', 'free')

    print('4b. ignore bob from his row of the user list, then stop ignoring him', flush=True)
    bob.send(CHANNEL + 'TAVLIST|||bob|||')
    wait("bob's row", lambda: find('bob'))
    move_focus('bob', 'Tab', 'list item')
    for menu_key, item, row in (('shift+F10', 'Ignore bob', 'bob (ignored)'), ('Menu', 'Stop ignoring bob', 'bob')):
        keys(menu_key)
        move_focus(item, 'Down', 'menu item')
        keys('Return')
        wait(f'focus on the row {row!r}', lambda: focused() == row)

    print('4c. bob (the channel operator: he joined first) kicks Ann; the reason is heard, Rejoin by keys', flush=True)
    bob.send(f'KICK #TavarineNET_3 {NICK}OnTavNET :bye')
    wait('the reason heard', lambda: ('Connection', 'bob put you out of the lobby: bye') in alerts)
    move_focus('Rejoin')
    keys('Return')
    bob.hear(f'{NICK}OnTavNET@127.0.0.1 JOIN')

    print('4d. bob and eve both claim place 1 as Ann comes back; the contest is read out, and nobody is accused', flush=True)
    eve = PlainClient('eve')
    bob.send(CHANNEL + 'TAVHUT1 bob> 1|||')
    eve.send(f'PRIVMSG {NICK}OnTavNET :...TAVHUT1 eve> 1|||')
    described('Hut place 1', 'contested by bob and eve')
    move_focus('Hut place 2', 'Tab')
    keys('Return')
    told = 'Place 1 is claimed by bob and eve at once, and the server attests none of them as its host, so nobody can tell who hosts this hut. Wait until one of them leaves it.'
    wait('the contest read out', lambda: find(told))
    move_focus('OK', None)
    keys('Return')
    move_focus('Hut place 2', None)
    bob.send(CHANNEL + 'TAVHUT1EXIT bob> 1|||')
    eve.send(CHANNEL + 'TAVHUT1EXIT eve> 1|||')
    described('Hut place 1', 'free')

    print('5. take place 1 and launch', flush=True)
    move_focus('Hut place 1', 'Tab')
    keys('Return')
    bob.hear(f'...TAVHUT1 {NICK}> 1|||')
    wait('launch control for the host', lambda: Atspi.StateType.SHOWING in (read(find('Launch the game'), 'state_set')[0] or Atspi.StateSet()).get_states())
    check_names()
    move_focus('Launch the game')
    keys('space')
    bob.hear(f'...TAVHUT1EXIT {NICK}> 1|||')
    bob.hear(f'...TAVHUT1LAUNCH {NICK}> 127.0.0.1|||')
    wait('end of the program after the launch', lambda: lobby.poll() == 0)
    launches = lambda: [line for line in starts() if line.startswith('gxexec.exe')]
    wait('start of the launcher', launches)
    if launches() != [f'gxexec.exe tav3.exe /h tcp /n{NICK} /boundip 127.0.0.1']:
        fail(f'the launcher started as {launches()}')
    print('PASS: the round by keys alone', flush=True)

main(sys.argv[1])
