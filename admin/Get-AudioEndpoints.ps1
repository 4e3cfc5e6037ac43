# Get-AudioEndpoints.ps1: lists every playback and recording endpoint that
# Windows records, with the friendly name to pass Quorvane a piece of, and
# whether it is hidden. It reads the registry and changes nothing.
#   powershell -NoProfile -ExecutionPolicy Bypass -File .\Get-AudioEndpoints.ps1

# >>> Reading endpoints: this function stands the same in Get-AudioEndpoints.ps1
# and Detect-ShownEndpoints.ps1 (each must work as a single file), and the
# project's checks keep the two copies identical.
function Get-AudioEndpoint {
    # Every playback (Render) and recording (Capture) endpoint Windows records,
    # with the friendly name Quorvane matches against and whether it is hidden.
    # The 64-bit registry view is read, so that a 32-bit PowerShell (as Intune
    # starts unless "Run script in 64-bit PowerShell" is set) sees the same keys
    # as a 64-bit one instead of those under WOW6432Node.
    $friendlyName = '{a45c254e-df1c-4efd-8020-67d146a850e0},14'
    $description = '{a45c254e-df1c-4efd-8020-67d146a850e0},2'
    $adapter = '{b3f8fa53-0004-438e-9003-51a46e139bfc},6'
    $machine = [Microsoft.Win32.RegistryKey]::OpenBaseKey(
        [Microsoft.Win32.RegistryHive]::LocalMachine, [Microsoft.Win32.RegistryView]::Registry64)
    foreach ($flow in 'Render', 'Capture') {
        $flowKey = $machine.OpenSubKey("SOFTWARE\Microsoft\Windows\CurrentVersion\MMDevices\Audio\$flow")
        if ($null -eq $flowKey) { continue }
        foreach ($id in $flowKey.GetSubKeyNames()) {
            $endpoint = $flowKey.OpenSubKey($id)
            $properties = $flowKey.OpenSubKey("$id\Properties")
            if ($null -eq $endpoint -or $null -eq $properties) { continue }
            # The friendly name when Windows stored it whole, otherwise composed
            # as Windows shows it: "description (adapter)". Values that are not
            # strings are no name.
            $name = $properties.GetValue($friendlyName)
            if ($name -isnot [string]) {
                $first = $properties.GetValue($description)
                $second = $properties.GetValue($adapter)
                $name = $null
                if ($first -is [string] -and $second -is [string]) { $name = "$first ($second)" }
            }
            # DeviceState: the low four bits are the presence (1 active, 2
            # disabled, 4 not present, 8 unplugged); a hidden endpoint has been
            # seen both as 2 and with 0x10000000 set.
            $state = $endpoint.GetValue('DeviceState')
            $hidden = $false
            if ($state -is [int]) {
                $hidden = (($state -band 0x10000000) -ne 0) -or (($state -band 0xF) -eq 2)
            }
            [pscustomobject]@{ Flow = $flow; Hidden = $hidden; Name = $name; Id = $id }
        }
    }
}
# <<< Reading endpoints

Get-AudioEndpoint | Sort-Object Flow, Name | Format-Table -AutoSize -Wrap Flow, Hidden, Name
