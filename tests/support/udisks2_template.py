'''A udisks2 daemon for the tests, served by python3-dbusmock on a private bus.

It holds what the editor looks at: the object manager at
/org/freedesktop/UDisks2 and block devices with their Block interface and,
where they hold a file system, a Filesystem interface whose Mount method
answers as the test says. Parameters (JSON, dbusmock's -p):

  devices: a list of
    name         kernel name, "sdb1"
    number       device number (makedev(major, minor))
    filesystem   whether it holds a file system (default true)
    mounted_at   a mount point it already has (default none)
    mount        what Mount does:
                 "answer" (default) answers `answer`;
                 "refuse" refuses as polkit does without a session;
                 "fail" fails with the D-Bus error `error` and its text
                 `message`, as given;
                 "already" finds the volume mounted at `answer` by someone
                 else since the caller looked, and says so as udisks2 does;
                 "stop" ends the daemon before it answers;
                 "hang" answers nothing for 30 s
    answer       the path Mount answers, or where "already" finds it mounted
'''

import dbus

from dbusmock import mockobject

BUS_NAME = 'org.freedesktop.UDisks2'
MAIN_OBJ = '/org/freedesktop/UDisks2'
MAIN_IFACE = 'org.freedesktop.UDisks2'
SYSTEM_BUS = True
IS_OBJECT_MANAGER = True

BLOCK_IFACE = 'org.freedesktop.UDisks2.Block'
FILESYSTEM_IFACE = 'org.freedesktop.UDisks2.Filesystem'


def bytestring(text):
    return dbus.Array([dbus.Byte(b) for b in text.encode() + b'\0'], signature='y')


def mounted_meanwhile(device):
    '''Mount for a volume mounted by someone else between the caller's look-up
    and its call: udisks2 knows the new mount point by then, and refuses in
    the words of udisks2 2.9.4, closing newline included.'''
    def mount(self, _options):
        self.UpdateProperties(FILESYSTEM_IFACE, {
            'MountPoints': dbus.Array([bytestring(device['answer'])], signature='ay'),
        })
        raise dbus.exceptions.DBusException(
            f"Device /dev/{device['name']} is already mounted at `{device['answer']}'.\n",
            name='org.freedesktop.UDisks2.Error.AlreadyMounted')

    return mount


def mount_code(device):
    behaviour = device.get('mount', 'answer')

    if behaviour == 'already':
        return mounted_meanwhile(device)

    if behaviour == 'fail':
        return f"raise dbus.exceptions.DBusException({device['message']!r}, name={device['error']!r})"

    if behaviour == 'stop':
        return 'import os; os._exit(0)'

    if behaviour == 'refuse':
        return ("raise dbus.exceptions.DBusException('Not authorized to perform operation', "
                "name='org.freedesktop.UDisks2.Error.NotAuthorizedCanObtain')")

    if behaviour == 'hang':
        return 'import time; time.sleep(30)'

    return f'ret = {device.get("answer", "")!r}'


def load(mock, parameters):
    mock.AddObject('/org/freedesktop/UDisks2/Manager', 'org.freedesktop.UDisks2.Manager',
                   {'Version': dbus.String('2.9.4', variant_level=1)}, [])

    for device in parameters.get('devices', []):
        path = '/org/freedesktop/UDisks2/block_devices/' + device['name']
        mock.AddObject(path, BLOCK_IFACE, {
            'Device': bytestring('/dev/' + device['name']),
            'DeviceNumber': dbus.UInt64(device['number']),
            'IdUsage': dbus.String('filesystem' if device.get('filesystem', True) else ''),
        }, [])

        if device.get('filesystem', True):
            block = mockobject.objects[path]
            mounted = [bytestring(device['mounted_at'])] if device.get('mounted_at') else []
            block.AddProperties(FILESYSTEM_IFACE, {'MountPoints': dbus.Array(mounted, signature='ay')})
            block.AddMethods(FILESYSTEM_IFACE, [('Mount', 'a{sv}', 's', mount_code(device))])
