using System;

namespace Pelmora.Ostrel;

/// <summary>
/// A platform attitude: yaw about the down axis, pitch about the east axis and roll about the
/// north axis, each an <see cref="XAngle"/>.
/// </summary>
/// <remarks>The properties hold the angle objects they are given and return them
/// themselves. <see cref="Dispose"/> exists for symmetry with the other public classes and
/// releases nothing.</remarks>
public class XAttitude : IDisposable
{
    private XAngle m_yaw;
    private XAngle m_pitch;
    private XAngle m_roll;

    /// <summary>Creates an attitude of three zero angles.</summary>
    public XAttitude() : this(0.0, 0.0, 0.0) { }

    /// <summary>Creates an attitude of three new angles.</summary>
    /// <param name="y">Yaw, radians.</param>
    /// <param name="p">Pitch, radians.</param>
    /// <param name="r">Roll, radians.</param>
    public XAttitude(double y, double p, double r)
    {
        m_yaw = new XAngle(y);
        m_pitch = new XAngle(p);
        m_roll = new XAngle(r);
    }

    /// <summary>Yaw, the rotation about the down axis. Setting holds the given object.</summary>
    /// <exception cref="ArgumentNullException">Set to null.</exception>
    public XAngle yaw
    {
        get => m_yaw;
        set => m_yaw = value ?? throw new ArgumentNullException(nameof(value));
    }

    /// <summary>Pitch, the rotation about the east axis. Setting holds the given object.</summary>
    /// <exception cref="ArgumentNullException">Set to null.</exception>
    public XAngle pitch
    {
        get => m_pitch;
        set => m_pitch = value ?? throw new ArgumentNullException(nameof(value));
    }

    /// <summary>Roll, the rotation about the north axis. Setting holds the given object.</summary>
    /// <exception cref="ArgumentNullException">Set to null.</exception>
    public XAngle roll
    {
        get => m_roll;
        set => m_roll = value ?? throw new ArgumentNullException(nameof(value));
    }

    /// <summary>Releases nothing: the attitude owns no native memory.</summary>
    public void Dispose() => GC.SuppressFinalize(this);
}
